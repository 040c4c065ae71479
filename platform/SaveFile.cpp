#include "platform/SaveFile.h"

#include "platform/Errors.h"

namespace platform {

SaveFile::SaveFile(const QString& path) : m_file(path)
{
    // QSaveFile falls back to writing in place where it cannot make a
    // temporary file beside the target; we never want a half-written file.
    m_file.setDirectWriteFallback(false);
    // Unbuffered: QSaveFile's own buffer is flushed only at commit, where a
    // short write goes unnoticed and a cut-off file would replace a whole
    // one. Every write here reaches the file at once and is checked.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail("create");
}

SaveFile::~SaveFile()
{
    if (!m_committed)
        m_file.cancelWriting();
}

void SaveFile::write(const char* data, qint64 size)
{
    if (m_file.write(data, size) != size)
        fail("write");
}

qint64 SaveFile::pos() const
{
    return m_file.pos();
}

void SaveFile::seek(qint64 position)
{
    if (!m_file.seek(position))
        fail("write");
}

void SaveFile::commit()
{
    if (m_file.error() != QFileDevice::NoError || !m_file.commit())
        fail("write");
    m_committed = true;
}

void SaveFile::write(const QString& path, const QByteArray& bytes)
{
    SaveFile file(path);
    file.write(bytes);
    file.commit();
}

void SaveFile::fail(const char* what)
{
    const QString message =
        QStringLiteral("Cannot %1 file \"%2\". %3").arg(QLatin1String(what), m_file.fileName(), m_file.errorString());
    m_file.cancelWriting();
    m_committed = true; // nothing left to abandon
    throw IoError(message.toStdString());
}

} // namespace platform
