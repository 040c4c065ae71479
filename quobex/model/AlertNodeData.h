#pragma once

#include <QString>
#include <QtGlobal>

namespace quobex {

// The record of every node of the alert tree. Slots keep this order: the
// items file stores them in it. Flags are the texts "true" and "false";
// only the exact text "true" counts as set.
struct TAlertNodeData {
    QString Title;           // 0
    QString EditorialReview; // 1
    QString DetailPageURL;   // 2
    QString Keyword;         // 3
    QString Localization;    // 4
    QString ItemType;        // 5
    QString ImageURL;        // 6
    QString ASIN;            // 7
    QString IsNew;           // 8
    QString IsRead;          // 9
    qint32 Reserved = 0;     // 10
    qint32 NewCount = 0;     // 11
    qint32 UnreadCount = 0;  // 12
    QString ProductDetails;  // 13
    QString Offers;          // 14
    QString ReviewOffers;    // 15
    QString Tracks;          // 16
    QString RatingImageURL;  // 17
    QString ListPrice;       // 18
    QString ByLine;          // 19
    QString Price;           // 20

    bool operator==(const TAlertNodeData&) const = default;
};

inline const QString kTrue = QStringLiteral("true");
inline const QString kFalse = QStringLiteral("false");

inline bool isTrue(const QString& flag)
{
    return flag == kTrue;
}

// A count less `amount`. Counts read from a file may hold any value: taking
// away wraps around as 32-bit counts do instead of overflowing.
inline qint32 countLess(qint32 value, qint32 amount)
{
    return qint32(quint32(value) - quint32(amount));
}

// A count plus `amount`, wrapping around the same way.
inline qint32 countMore(qint32 value, qint32 amount)
{
    return qint32(quint32(value) + quint32(amount));
}

} // namespace quobex
