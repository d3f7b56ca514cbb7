#include "tests/support/TestPrefix.h"

#include "settings/AppBundle.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

QString TestPrefix::installQuillo() const
{
    const QString target = m_dir.filePath(QStringLiteral("bin/quillo"));
    writeExecutable(target, readFile(quilloBinary()));
    return target;
}

QString TestPrefix::installEngine(const QByteArray& script) const
{
    const QString target = resourceDir() + QStringLiteral("/ollama-runtime/bin/ollama");
    writeExecutable(target, script.isEmpty() ? readFile(fakeOllamaBinary()) : script);
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
