#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace quobex {

// The alert definitions: three parallel lists of single-byte texts; entry i
// of each together is alert i.
struct AlertDefinitions {
    QList<QByteArray> KeywordList;
    QList<QByteArray> ItemTypeList;
    QList<QByteArray> LocalizationList;

    qsizetype count() const { return KeywordList.size(); }
    bool isConsistent() const
    {
        return KeywordList.size() == ItemTypeList.size() && KeywordList.size() == LocalizationList.size();
    }
    // Removes alert i from all three lists.
    void removeAt(qsizetype i)
    {
        KeywordList.removeAt(i);
        ItemTypeList.removeAt(i);
        LocalizationList.removeAt(i);
    }
    void clear()
    {
        KeywordList.clear();
        ItemTypeList.clear();
        LocalizationList.clear();
    }

    // Reads the three definition files of `folder`; a missing file leaves its
    // list empty. When the counts differ, all three lists are emptied and the
    // items file is deleted; the definition files are left as they are.
    // Throws IoError when a file exists but cannot be read.
    static AlertDefinitions load(const QString& folder);
    // Replaces the three files, keywords first. Throws IoError.
    void save(const QString& folder) const;
};

} // namespace quobex
