#include "quobex/engine/ItemReader.h"

#include "quobex/engine/ItemFragments.h"

#include "platform/XmlDocument.h"

#include <algorithm>

namespace quobex {

namespace {

using platform::Xml::child;
using platform::Xml::text;

QDomElement path(QDomElement element, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        element = child(element, QString::fromLatin1(name));
    return element;
}

QString textAt(const QDomElement& item, std::initializer_list<const char*> names)
{
    return text(path(item, names));
}

// Adds one to a string of decimal digits.
void increment(QString& digits)
{
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != QLatin1Char('9')) {
            digits[i] = QChar(digits[i].unicode() + 1);
            return;
        }
        digits[i] = QLatin1Char('0');
    }
    digits.prepend(QLatin1Char('1'));
}

} // namespace

QString RatingStars(const QString& averageRating)
{
    // Decimal arithmetic on the digits themselves: exact for every rating,
    // however long, with no locale and no overflow.
    QString whole;
    QString fraction;
    bool pointSeen = false;
    bool secondPoint = false;
    for (const QChar c : averageRating) {
        if (c == QLatin1Char('.')) {
            if (pointSeen)
                secondPoint = true;
            pointSeen = true;
        } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9') && !secondPoint) {
            (pointSeen ? fraction : whole) += c;
        }
    }

    // Tenths, rounded half to even.
    QString tenths = whole + (fraction.isEmpty() ? QStringLiteral("0") : fraction.left(1));
    const QString rest = fraction.mid(1);
    if (!rest.isEmpty()) {
        const bool beyondFive =
            std::any_of(rest.begin() + 1, rest.end(), [](QChar c) { return c != QLatin1Char('0'); });
        const bool aboveHalf = rest[0] > QLatin1Char('5') || (rest[0] == QLatin1Char('5') && beyondFive);
        const bool half = rest[0] == QLatin1Char('5') && !aboveHalf;
        const bool odd = (tenths.back().unicode() - '0') % 2 == 1;
        if (aboveHalf || (half && odd))
            increment(tenths);
    }
    // Down to a multiple of five tenths.
    const QChar last = tenths.back();
    tenths.back() = last >= QLatin1Char('5') ? QLatin1Char('5') : QLatin1Char('0');

    QString units = tenths.left(tenths.size() - 1);
    while (units.size() > 1 && units.front() == QLatin1Char('0'))
        units.remove(0, 1);
    if (units.isEmpty())
        units = QStringLiteral("0");
    QString shortest = tenths.back() == QLatin1Char('5') ? units + QLatin1String(".5") : units;
    if (shortest.size() == 1)
        shortest += QLatin1String(".0");
    shortest.replace(QLatin1Char('.'), QLatin1Char('-'));
    return shortest;
}

QString RatingImageURL(const QString& averageRating, const QByteArray& imageHost)
{
    return QLatin1String("http://") + QString::fromLatin1(imageHost) +
           QLatin1String("/images/G/01/x-locale/common/customer-reviews/stars-") + RatingStars(averageRating) +
           QLatin1String(".gif");
}

void ReadItemElement(QDomElement item, TAlertNodeData& record, const Endpoints& endpoints, ItemReadMode mode)
{
    // The order matters: lookups add the elements they miss, and later rows
    // render what earlier ones added.
    const bool newItem = mode == ItemReadMode::NewItem;
    if (newItem)
        record.ASIN = textAt(item, {"ASIN"});
    record.DetailPageURL = textAt(item, {"DetailPageURL"});
    if (newItem)
        record.Title = textAt(item, {"ItemAttributes", "Title"});
    record.EditorialReview = textAt(item, {"EditorialReviews", "EditorialReview", "Content"});
    record.ImageURL = textAt(item, {"MediumImage", "URL"});
    record.ProductDetails = RenderAttributeList(child(item, QStringLiteral("ItemAttributes")));
    record.Offers = RenderOfferSummary(child(item, QStringLiteral("OfferSummary")));
    record.ReviewOffers = RenderOfferSummary(child(item, QStringLiteral("EditorialReviews")));
    record.ListPrice = textAt(item, {"ItemAttributes", "ListPrice", "FormattedPrice"});
    record.Price = textAt(item, {"OfferSummary", "LowestNewPrice", "FormattedPrice"});

    // The last non-empty name wins; only the first element of each counts.
    const QDomElement attributes = child(item, QStringLiteral("ItemAttributes"));
    for (const char* name : {"Studio", "Actor", "Creator", "Artist", "Director", "Author"}) {
        const QString byLine = textAt(attributes, {name});
        if (!byLine.isEmpty())
            record.ByLine = byLine;
    }

    const QDomElement tracks = child(item, QStringLiteral("Tracks"));
    if (tracks.hasChildNodes())
        record.Tracks = RenderTrackList(tracks, QLatin1String("http://") + QString::fromLatin1(endpoints.storeSite));

    record.RatingImageURL = RatingImageURL(textAt(item, {"CustomerReviews", "AverageRating"}), endpoints.imageHost);
}

} // namespace quobex
