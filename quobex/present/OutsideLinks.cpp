#include "quobex/present/OutsideLinks.h"

#include "platform/CodePage.h"
#include "quobex/engine/QueryEncoding.h"

namespace quobex {

namespace {

QByteArray encoded(const QString& value)
{
    return EncodeQueryValue(platform::CodePage::fromUnicode(value));
}

QByteArray redirectAddress(const QByteArray& makerServer, const TAlertNodeData& item, bool withCountry)
{
    QByteArray address =
        makerServer + "/exe/frame/frame.php?keyword=" + encoded(item.Keyword) + "&type=" + encoded(item.ItemType);
    if (withCountry)
        address += "&country=" + encoded(item.Localization);
    address += "&url=" + encoded(item.DetailPageURL);
    return address;
}

} // namespace

QByteArray MoreInfoAddress(const QByteArray& makerServer, const TAlertNodeData& item)
{
    return redirectAddress(makerServer, item, true);
}

QByteArray PictureLink(const QByteArray& makerServer, const TAlertNodeData& item)
{
    return redirectAddress(makerServer, item, false);
}

QByteArray TellFriendAddress(const QByteArray& makerServer)
{
    return makerServer + "/tell/index.php";
}

QByteArray ContactAddress(const QByteArray& makerServer)
{
    return makerServer + "/main/contact.php";
}

} // namespace quobex
