#include "quobex/present/DetailsPage.h"

#include "platform/CodePage.h"
#include "quobex/present/Saving.h"

namespace quobex {

namespace {

// The fixed head of the page: document type, character set and the style
// sheet (its indents as they have always been).
constexpr const char* kHead[] = {
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"",
    "\"http://www.w3.org/TR/html4/loose.dtd\">",
    "<html>",
    "<head>",
    "<title>Quobex</title>",
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">",
    "<style type=\"text/css\">",
    "<!--",
    ".style1 {",
    "  font-family: Verdana, Arial, Helvetica, sans-serif;",
    "\tfont-size: small;",
    "\tbackground-color: #FAB205;",
    "\tpadding: 1px;",
    "\tborder: 1px solid #006699;",
    "\tcolor: #006699;",
    "\tfont-weight: bold;",
    "}",
    ".style2 {",
    "  font-family: Verdana, Arial, Helvetica, sans-serif;",
    "\tfont-size: x-small;",
    "\ttext-align: justify;",
    "}",
    ".style3 {",
    "\tfont-family: Verdana, Arial, Helvetica, sans-serif;",
    "\tfont-size: x-small;",
    "\tbackground-color: #FAB205;",
    "\tpadding: 1px;",
    "\tborder: 1px solid #006699;",
    "\tcolor: #006699;",
    "\tfont-weight: bold;",
    "\twidth: 150px;",
    "}",
    "img {",
    "\tpadding: 2px;",
    "\tmargin: 2px;",
    "\tborder: 0px solid #006699;",
    "}",
    "-->",
    "</style>",
    "</head>",
    "<body>",
    "<table width=\"100%\"  border=\"0\" cellspacing=\"1\" cellpadding=\"1\">",
    "  <tr>",
};

constexpr const char* kFont2 = "<font color=\"#006699\" size=\"2\" face=\"Arial, Helvetica, sans-serif\">";

} // namespace

QByteArray BuildDetailsPage(const TAlertNodeData& item, const QByteArray& pictureLink, const QLocale& locale)
{
    QByteArray page;
    // Record texts are wide; each line goes to the code page as a whole.
    auto line = [&page](const QString& text) {
        page += platform::CodePage::fromUnicode(text);
        page += "\r\n";
    };
    const QString indent4 = QStringLiteral("    ");
    const QString font2 = QLatin1String(kFont2);

    for (const char* text : kHead)
        line(QLatin1String(text));

    line(indent4 +
         QStringLiteral("<td width=\"100%\"><strong><font color=\"#006699\" size=\"3\" face=\"Arial, Helvetica, "
                        "sans-serif\">") +
         item.Title + QStringLiteral("</font></strong><br>"));
    line(indent4 + QStringLiteral("<strong>") + font2 + QStringLiteral("by ") + item.ByLine +
         QStringLiteral("</font></strong><br>"));
    line(indent4 + QStringLiteral("<br><strong>") + font2 + QStringLiteral("List Price: ") + item.ListPrice +
         QStringLiteral("</font></strong><br>"));
    line(indent4 + QStringLiteral("<strong>") + font2 + QStringLiteral("Price: ") + item.Price +
         QStringLiteral("</font></strong><br>"));
    const Saving saving = ComputeSaving(item.ListPrice, item.Price, locale);
    line(indent4 +
         QStringLiteral("<strong><font color=\"#DD0000\" size=\"2\" face=\"Arial, Helvetica, sans-serif\">You Save: ") +
         saving.amount + QStringLiteral(" (") + saving.percent + QStringLiteral("%)</font></strong><br>"));
    if (!item.RatingImageURL.isEmpty())
        line(QStringLiteral("<font size=\"1\" face=\"Verdana\"><strong>Average Customers Review:<font "
                            "color=\"#006699\"></font></strong> <img src=\"") +
             item.RatingImageURL + QStringLiteral("\" width=\"64\" height=\"12\"><br>"));
    line(indent4 + item.Offers);
    line(indent4 + QStringLiteral("<hr></td>"));
    line(QStringLiteral("  </tr>"));
    line(QStringLiteral("  <tr>"));
    line(indent4 + QStringLiteral("<td width=\"100%\">"));
    if (!item.ImageURL.isEmpty())
        line(indent4 + QStringLiteral("<a target=\"_blank\" href=\"") + QString::fromLatin1(pictureLink) +
             QStringLiteral("\"><img align=\"right\" src=\"") + item.ImageURL + QStringLiteral("\"></a>"));
    line(indent4 + QStringLiteral("<div class=\"style2\">"));
    line(indent4 + QStringLiteral("<p>") + item.EditorialReview + QStringLiteral("</p>"));
    line(indent4 + QStringLiteral("<p><strong>Product Detais: </strong>") + item.ProductDetails +
         QStringLiteral("</p>"));
    if (!item.Tracks.isEmpty())
        line(indent4 + QStringLiteral("<p>") + item.Tracks + QStringLiteral("</p>"));
    line(indent4 + QStringLiteral("</div></td>"));
    line(QStringLiteral("  </tr>"));
    line(QStringLiteral("</table>"));
    line(QStringLiteral("</body>"));
    line(QStringLiteral("</html>"));
    return page;
}

} // namespace quobex
