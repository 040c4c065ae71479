#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

namespace platform {

// A data file that replaces its predecessor only once it is written whole:
// until commit() succeeds the old file stays as it was, and a failed or
// abandoned write leaves it untouched. Every failure throws IoError.
class SaveFile {
public:
    explicit SaveFile(const QString& path);
    ~SaveFile(); // abandons the write unless commit() succeeded

    SaveFile(const SaveFile&) = delete;
    SaveFile& operator=(const SaveFile&) = delete;

    void write(const char* data, qint64 size);
    void write(const QByteArray& bytes) { write(bytes.constData(), bytes.size()); }
    // Position within the new file, for writers that go back to fill in a size.
    qint64 pos() const;
    void seek(qint64 position);
    void commit();

    // Writes `bytes` as the whole new content of `path`.
    static void write(const QString& path, const QByteArray& bytes);

private:
    [[noreturn]] void fail(const char* what);

    QSaveFile m_file;
    bool m_committed = false;
};

} // namespace platform
