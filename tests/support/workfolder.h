#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

namespace zimo::test {

// A new temporary folder made the process's working folder (where the settings and snippet files
// are looked for) for as long as this lives; then the previous working folder comes back and the
// temporary one is removed.
class WorkFolder
{
public:
    WorkFolder() : m_previous(QDir::currentPath())
    {
        m_entered = m_dir.isValid() && QDir::setCurrent(m_dir.path());
    }
    ~WorkFolder() { QDir::setCurrent(m_previous); }
    WorkFolder(const WorkFolder &) = delete;
    WorkFolder &operator=(const WorkFolder &) = delete;

    bool isValid() const { return m_entered; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QString m_previous;
    QTemporaryDir m_dir;
    bool m_entered = false;
};

} // namespace zimo::test
