#pragma once

#include "quobex/model/AlertNodeData.h"

#include <QByteArray>
#include <QLocale>

namespace quobex {

// The details page of one product, as single-byte text with CR LF after
// every line. The record's texts go in as they are: they come from the
// store's reply already as HTML fragments. `pictureLink` is the address the
// product picture leads to; `locale` gives the decimal separator of the
// "You Save" figures.
QByteArray BuildDetailsPage(const TAlertNodeData& item, const QByteArray& pictureLink, const QLocale& locale);

} // namespace quobex
