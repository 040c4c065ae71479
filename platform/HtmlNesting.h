#pragma once

#include <QStringView>

namespace platform {

// False when the elements of an HTML page nest deeper than `maxDepth`.
// The rich-text reader and its layout take time that grows with the square
// of the nesting (and recurse with it), so a page a server or a reply sends
// is measured first, in one pass whose time and memory do not depend on the
// depth. Elements closed by the next of their kind (p, li, td ...) and
// elements without content (br, img ...) do not count; a closing tag closes
// the nearest open element of its name, and one that closes nothing is
// ignored, as the reader does.
bool HtmlNestedWithin(QStringView html, int maxDepth);

} // namespace platform
