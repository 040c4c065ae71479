#include "quobex/store/ItemsFile.h"

#include "platform/Errors.h"
#include "platform/SaveFile.h"
#include "quobex/store/TreeDisplay.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace quobex::ItemsFile {

namespace {

// U+2045 'V' 'T' <version 2> ' ' U+2046, UTF-16LE.
constexpr char kSignature[12] = {'\x45', '\x20', 'V', 0, 'T', 0, '\x02', 0, ' ', 0, '\x46', '\x20'};
constexpr quint16 kFormatVersion = 2;

constexpr qint32 kNodeChunk = 1;
constexpr qint32 kBaseChunk = 2;
constexpr qint32 kCaptionChunk = 3;
constexpr qint32 kUserDataChunk = 4;

constexpr qint64 kChunkHeaderSize = 8;
constexpr qint64 kBaseBodySize = 17;
constexpr quint32 kNodeHeight = 18;
constexpr quint8 kVerticalAlignment = 50;

// Node state bits.
constexpr quint16 kInitialized = 0x0001;
constexpr quint16 kExpanded = 0x0020;
constexpr quint16 kHasChildren = 0x0040;
constexpr quint16 kVisible = 0x0080;
constexpr quint16 kSelected = 0x0100;

// Large enough that writing and reading cost one system call per megabyte,
// small enough not to matter beside the tree itself.
constexpr qsizetype kBufferSize = 1 << 20;

// ---------------------------------------------------------------------------
// Writing

// Collects the file in a buffer and hands it to the file a megabyte at a
// time. Chunk sizes are filled in by going back: in the buffer while the
// chunk's header is still there, else at the end through the file.
class Writer {
public:
    explicit Writer(platform::SaveFile* file) : m_file(file) { m_buf.resize(file ? kBufferSize : 4096); }

    qint64 pos() const { return m_base + m_len; }

    void putBytes(const char* data, qsizetype n)
    {
        std::memcpy(room(n), data, size_t(n));
        m_len += n;
    }
    void putU8(quint8 v) { putBytes(reinterpret_cast<const char*>(&v), 1); }
    void putU16(quint16 v)
    {
        qToLittleEndian(v, room(2));
        m_len += 2;
    }
    void putU32(quint32 v)
    {
        qToLittleEndian(v, room(4));
        m_len += 4;
    }
    void putI32(qint32 v)
    {
        qToLittleEndian(v, room(4));
        m_len += 4;
    }
    // UTF-16LE code units, no count.
    void putUnits(const QString& s)
    {
        const qsizetype n = s.size();
        qToLittleEndian<quint16>(s.utf16(), n, room(2 * n));
        m_len += 2 * n;
    }
    // Count of code units, then the units.
    void putString(const QString& s)
    {
        if (quint64(s.size()) > std::numeric_limits<quint32>::max())
            throw platform::IoError("A text is too long for the items file.");
        putU32(quint32(s.size()));
        putUnits(s);
    }

    // Writes a chunk header whose size endChunk() fills in.
    qint64 beginChunk(qint32 type)
    {
        const qint64 at = pos();
        putI32(type);
        putI32(0);
        return at;
    }
    void endChunk(qint64 header)
    {
        const qint64 size = pos() - header - kChunkHeaderSize;
        if (size > std::numeric_limits<qint32>::max())
            throw platform::IoError("The alert tree is too large for the items file.");
        const qint64 field = header + 4;
        if (field >= m_base)
            qToLittleEndian(qint32(size), m_buf.data() + (field - m_base));
        else
            m_pending.push_back({field, qint32(size)});
    }

    // Writes what is left and the sizes that went out before they were known.
    void finish()
    {
        flush();
        for (const Patch& patch : m_pending) {
            char bytes[4];
            qToLittleEndian(patch.value, bytes);
            m_file->seek(patch.at);
            m_file->write(bytes, 4);
        }
        m_pending.clear();
    }

    QByteArray takeBytes()
    {
        m_buf.truncate(m_len);
        return std::move(m_buf);
    }

private:
    struct Patch {
        qint64 at;
        qint32 value;
    };

    char* room(qsizetype n)
    {
        if (m_len + n > m_buf.size())
            grow(n);
        return m_buf.data() + m_len;
    }
    void grow(qsizetype n)
    {
        if (m_file) {
            flush();
            if (n <= m_buf.size())
                return;
        }
        m_buf.resize(std::max(m_buf.size() * 2, m_len + n));
    }
    void flush()
    {
        if (m_len > 0)
            m_file->write(m_buf.constData(), m_len);
        m_base += m_len;
        m_len = 0;
    }

    platform::SaveFile* m_file;
    QByteArray m_buf;
    qsizetype m_len = 0;
    qint64 m_base = 0; // file position of m_buf[0]
    std::vector<Patch> m_pending;
};

// The record's 21 slots in slot order.
void vtvCurrentAlertsSaveNode(Writer& out, const TAlertNodeData& d)
{
    for (const QString* s : {&d.Title, &d.EditorialReview, &d.DetailPageURL, &d.Keyword, &d.Localization, &d.ItemType,
                             &d.ImageURL, &d.ASIN, &d.IsNew, &d.IsRead})
        out.putString(*s);
    out.putI32(d.Reserved);
    out.putI32(d.NewCount);
    out.putI32(d.UnreadCount);
    for (const QString* s : {&d.ProductDetails, &d.Offers, &d.ReviewOffers, &d.Tracks, &d.RatingImageURL, &d.ListPrice,
                             &d.ByLine, &d.Price})
        out.putString(*s);
}

void writeBaseBody(Writer& out, const AlertNode& node)
{
    quint16 states = kInitialized | kVisible;
    if (node.expanded)
        states |= kExpanded;
    if (node.childCount() > 0)
        states |= kHasChildren;
    if (node.selected)
        states |= kSelected;
    out.putU32(quint32(node.childCount()));
    out.putU32(kNodeHeight);
    out.putU16(states);
    out.putU8(kVerticalAlignment);
    out.putU8(0); // check state
    out.putU8(0); // check type
    out.putU32(0);
}

void writeTree(Writer& out, const AlertTree& tree)
{
    out.putBytes(kSignature, sizeof kSignature);
    const AlertNode* root = tree.root();
    out.putU32(quint32(root->childCount()));

    // Depth-first without recursion: a node's chunk closes once all of its
    // children's chunks are written.
    struct Open {
        const AlertNode* node;
        AlertNode::Level level;
        int nextChild;
        qint64 nodeChunk;
        qint64 baseChunk;
    };
    std::vector<Open> stack;
    auto open = [&](const AlertNode* node) {
        const auto level = AlertNode::Level(std::min<size_t>(stack.size() + 1, AlertNode::Item));
        const qint64 nodeChunk = out.beginChunk(kNodeChunk);
        const qint64 baseChunk = out.beginChunk(kBaseChunk);
        writeBaseBody(out, *node);
        stack.push_back({node, level, 0, nodeChunk, baseChunk});
    };

    for (int group = 0; group < root->childCount(); ++group) {
        open(root->child(group));
        while (!stack.empty()) {
            Open& top = stack.back();
            if (top.nextChild < top.node->childCount()) {
                open(top.node->child(top.nextChild++));
                continue;
            }
            out.endChunk(top.baseChunk);
            const qint64 record = out.beginChunk(kUserDataChunk);
            vtvCurrentAlertsSaveNode(out, top.node->data);
            out.endChunk(record);
            const QString caption = TreeDisplay::text(top.node->data, top.level);
            if (!caption.isEmpty()) {
                const qint64 chunk = out.beginChunk(kCaptionChunk);
                out.putUnits(caption);
                out.endChunk(chunk);
            }
            out.endChunk(top.nodeChunk);
            stack.pop_back();
        }
    }
}

// ---------------------------------------------------------------------------
// Reading

// Sequential reads, never past the end of the bytes: straight from memory,
// or from a device through a buffer. Nothing is allocated for a length
// before it is checked against the bytes that are really there.
class Reader {
public:
    explicit Reader(const QByteArray& bytes) : m_end(bytes.size()), m_data(bytes.constData()), m_len(bytes.size()) {}
    explicit Reader(QIODevice& device) : m_device(&device), m_end(device.size())
    {
        m_buf.resize(qsizetype(std::clamp<qint64>(m_end, 0, kBufferSize)));
        m_data = m_buf.constData();
    }

    qint64 pos() const { return m_bufPos + m_off; }
    qint64 size() const { return m_end; }

    // The next `n` bytes, or null when there are fewer.
    const char* take(qint64 n)
    {
        if (m_len - m_off >= n) {
            const char* p = m_data + m_off;
            m_off += qsizetype(n);
            return p;
        }
        return m_device ? takeSlow(n) : nullptr;
    }

    bool seek(qint64 target)
    {
        if (target < pos() || target > m_end)
            return false;
        if (target <= m_bufPos + m_len) {
            m_off = qsizetype(target - m_bufPos);
            return true;
        }
        if (!m_device || !m_device->seek(target))
            return false;
        m_bufPos = target;
        m_off = m_len = 0;
        return true;
    }

private:
    const char* takeSlow(qint64 n)
    {
        if (n > m_end - pos())
            return nullptr;
        const qsizetype rest = m_len - m_off;
        if (m_off > 0) {
            std::memmove(m_buf.data(), m_buf.constData() + m_off, size_t(rest));
            m_bufPos += m_off;
            m_len = rest;
            m_off = 0;
        }
        if (n > m_buf.size())
            m_buf.resize(qsizetype(n)); // no more than the device holds, checked above
        m_data = m_buf.constData();
        while (m_len < n) {
            const qint64 want = std::min<qint64>(m_buf.size() - m_len, m_end - (m_bufPos + m_len));
            const qint64 got = m_device->read(m_buf.data() + m_len, want);
            if (got <= 0)
                return nullptr;
            m_len += qsizetype(got);
        }
        m_off = qsizetype(n);
        return m_data;
    }

    QIODevice* m_device = nullptr;
    const qint64 m_end;
    QByteArray m_buf;
    const char* m_data = nullptr; // m_buf's bytes, or the bytes read from memory
    qsizetype m_off = 0;
    qsizetype m_len = 0;
    qint64 m_bufPos = 0; // position of m_data[0]
};

quint16 u16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}
quint32 u32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}
qint32 i32(const char* p)
{
    return qFromLittleEndian<qint32>(p);
}

// The texts of the record read last, slot by slot. Siblings repeat most of
// theirs (keyword, localization, item type, flags, prices), and an equal
// text is shared rather than allocated again: loading is faster and the
// tree smaller.
using RecentTexts = std::array<QString, 18>;
// Long texts (titles, reviews, page fragments) hardly ever repeat.
constexpr qint64 kShareableUnits = 40;

// Reads the record's slots; every byte of it must lie before `end`, the end
// of its chunk.
bool vtvCurrentAlertsLoadNode(Reader& in, qint64 end, TAlertNodeData& d, RecentTexts& recent)
{
    auto word = [&](const char*& p) {
        p = end - in.pos() >= 4 ? in.take(4) : nullptr;
        return p != nullptr;
    };
    auto integer = [&](qint32& value) {
        const char* p;
        if (!word(p))
            return false;
        value = i32(p);
        return true;
    };
    size_t slot = 0;
    auto string = [&](QString& value) {
        QString& last = recent[slot++];
        const char* p;
        if (!word(p))
            return false;
        const qint64 units = u32(p);
        if (2 * units > end - in.pos())
            return false;
        if (units == 0) {
            value.clear();
            return true;
        }
        const char* text = in.take(2 * units);
        if (!text)
            return false;
        const bool shareable = units <= kShareableUnits;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        if (shareable && last.size() == units && std::memcmp(last.utf16(), text, size_t(2 * units)) == 0) {
            value = last;
            return true;
        }
#endif
        value = QString(qsizetype(units), Qt::Uninitialized);
        qFromLittleEndian<quint16>(text, qsizetype(units), value.data());
        if (shareable)
            last = value;
        return true;
    };
    for (QString* s : {&d.Title, &d.EditorialReview, &d.DetailPageURL, &d.Keyword, &d.Localization, &d.ItemType,
                       &d.ImageURL, &d.ASIN, &d.IsNew, &d.IsRead}) {
        if (!string(*s))
            return false;
    }
    if (!integer(d.Reserved) || !integer(d.NewCount) || !integer(d.UnreadCount))
        return false;
    for (QString* s : {&d.ProductDetails, &d.Offers, &d.ReviewOffers, &d.Tracks, &d.RatingImageURL, &d.ListPrice,
                       &d.ByLine, &d.Price}) {
        if (!string(*s))
            return false;
    }
    return true; // loaded nodes start collapsed
}

// A node chunk being read.
struct OpenNode {
    AlertNode* node;
    qint64 end;             // of the node chunk
    qint64 baseEnd;         // of its base chunk, -1 before one was read
    quint32 childrenToRead; // declared children not read yet
};

struct ChunkHeader {
    qint32 type;
    qint64 end;
};

// A chunk header whose chunk ends no later than `limit`.
bool readHeader(Reader& in, qint64 limit, ChunkHeader& header)
{
    if (limit - in.pos() < kChunkHeaderSize)
        return false;
    const char* p = in.take(kChunkHeaderSize);
    if (!p)
        return false;
    const qint32 size = i32(p + 4);
    if (size < 0 || size > limit - in.pos())
        return false;
    header = {i32(p), in.pos() + size};
    return true;
}

bool openNode(Reader& in, AlertTree& tree, AlertNode* parent, qint64 limit, std::vector<OpenNode>& stack)
{
    ChunkHeader header;
    if (!readHeader(in, limit, header) || header.type != kNodeChunk)
        return false;
    stack.push_back({tree.AddChild(parent), header.end, -1, 0});
    return true;
}

// One top-level node chunk with everything below it. Nesting is kept on an
// explicit stack, so no file can exhaust the call stack; every level costs
// the file at least one chunk header.
bool readNode(Reader& in, AlertTree& tree, AlertNode* parent, qint64 limit, RecentTexts& recent)
{
    std::vector<OpenNode> stack;
    if (!openNode(in, tree, parent, limit, stack))
        return false;
    while (!stack.empty()) {
        OpenNode& top = stack.back();
        if (top.childrenToRead > 0) {
            --top.childrenToRead;
            // The declared children must lie inside the base chunk.
            if (!openNode(in, tree, top.node, top.baseEnd, stack))
                return false;
            continue;
        }
        const qint64 at = in.pos();
        if (at == top.end) {
            stack.pop_back();
            continue;
        }
        // Chunks after the declared children but inside the base chunk (further
        // children) must end inside it; after it, inside the node chunk.
        const qint64 chunkLimit = at < top.baseEnd ? top.baseEnd : top.end;
        ChunkHeader chunk;
        if (!readHeader(in, chunkLimit, chunk))
            return false;
        switch (chunk.type) {
        case kBaseChunk: {
            if (chunk.end - in.pos() < kBaseBodySize)
                return false;
            const char* body = in.take(kBaseBodySize);
            if (!body)
                return false;
            top.childrenToRead = u32(body);
            // Loaded nodes are collapsed and unselected, whatever was saved.
            top.node->visible = (u16(body + 8) & kVisible) != 0;
            top.baseEnd = chunk.end;
            break;
        }
        case kUserDataChunk:
            if (chunk.end > in.pos() && !vtvCurrentAlertsLoadNode(in, chunk.end, top.node->data, recent))
                return false;
            if (!in.seek(chunk.end))
                return false;
            break;
        default:
            // The caption is derived from the record; other chunks (further
            // children among them) are not ours to read.
            if (!in.seek(chunk.end))
                return false;
            break;
        }
    }
    return true;
}

bool readTree(Reader& in, AlertTree& into)
{
    const char* signature = in.take(sizeof kSignature);
    if (!signature)
        return false;
    // The unit after the version is not looked at.
    if (u16(signature) != 0x2045 || u16(signature + 2) != u'V' || u16(signature + 4) != u'T' ||
        u16(signature + 10) != 0x2046)
        return false;
    if (u16(signature + 6) != kFormatVersion)
        return false;
    const char* count = in.take(4);
    if (!count)
        return false;
    // A file that ends between two top-level nodes holds the nodes before.
    RecentTexts recent;
    for (quint32 left = u32(count); left > 0 && in.pos() < in.size(); --left) {
        if (!readNode(in, into, into.root(), in.size(), recent))
            return false;
    }
    return true;
}

} // namespace

void save(const AlertTree& tree, const QString& path)
{
    platform::SaveFile file(path);
    Writer out(&file);
    writeTree(out, tree);
    out.finish();
    file.commit();
}

QByteArray encode(const AlertTree& tree)
{
    Writer out(nullptr);
    writeTree(out, tree);
    return out.takeBytes();
}

bool read(QIODevice& device, AlertTree& into)
{
    Reader in(device);
    return readTree(in, into);
}

bool decode(const QByteArray& bytes, AlertTree& into)
{
    Reader in(bytes);
    return readTree(in, into);
}

LoadResult load(const QString& path, AlertTree& tree)
{
    QFile file(path);
    if (!file.exists())
        return LoadResult::Missing;
    // Emptied first, so the old tree and the new one never both take memory.
    tree.Clear();
    AlertTree loaded;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !read(file, loaded))
        return LoadResult::Malformed;
    tree.TakeContentOf(loaded);
    return LoadResult::Loaded;
}

QString moveAside(const QString& path, const QDateTime& when)
{
    const QString base = path + QStringLiteral(".unreadable-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = base;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = base + QLatin1Char('-') + QString::number(n);
    QFile file(path);
    if (!file.rename(aside))
        throw platform::IoError(QStringLiteral("Cannot move the unreadable file \"%1\" aside to \"%2\". %3")
                                    .arg(path, aside, file.errorString())
                                    .toStdString());
    return aside;
}

} // namespace quobex::ItemsFile
