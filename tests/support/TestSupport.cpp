#include "tests/support/TestSupport.h"

namespace testsupport {

TempProgramFolder::TempProgramFolder()
{
    previous_ = qgetenv("DOVRA_HOME");
    qputenv("DOVRA_HOME", dir_.path().toUtf8());
}

TempProgramFolder::~TempProgramFolder()
{
    if (previous_.isEmpty())
        qunsetenv("DOVRA_HOME");
    else
        qputenv("DOVRA_HOME", previous_);
}

QString binDir() { return QStringLiteral(DOVRA_TEST_BIN_DIR); }
QString sourceDir() { return QStringLiteral(DOVRA_TEST_SOURCE_DIR); }

} // namespace testsupport
