#pragma once

#include <QByteArray>
#include <QString>

namespace standin {

// Pictures of the image host, drawn when asked: a cover for every product
// and the five-star rating images. PNG whatever the name ends in; the
// program's browser goes by the bytes. Needs a QGuiApplication for text.
QByteArray coverPicture(const QString& asin, const QString& title, const QString& byline);
// `stars` is the name part of the star image: "4-5", "0-0" ...; empty when
// the name is not a rating.
QByteArray starPicture(const QString& stars);

} // namespace standin
