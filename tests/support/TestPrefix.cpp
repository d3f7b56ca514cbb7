#include "tests/support/TestPrefix.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/AppBundle.h"
#include "tests/support/Files.h"

namespace {

constexpr QFile::Permissions executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

}

QString TestPrefix::install(const QString& program, const QString& relativePath) const
{
    const QString target = m_dir.filePath(relativePath);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    QFile::copy(program, target);
    QFile::setPermissions(target, executable);
    return target;
}

QString TestPrefix::installScript(const QByteArray& script, const QString& relativePath) const
{
    const QString target = m_dir.filePath(relativePath);
    writeFile(target, script);
    QFile::setPermissions(target, executable);
    return target;
}

UsePrefix::UsePrefix(const TestPrefix& prefix)
{
    AppBundle::setResourceDir(prefix.resourceDir());
}

UsePrefix::~UsePrefix()
{
    AppBundle::setResourceDir({});
}
