#include "tests/support/Process.h"

#include <QProcess>
#include <QStringList>

namespace testsupport {

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
    QStringList list;
    for (const auto& a : args) list << QString::fromStdString(a);
    QProcess process;
    process.start(QString::fromStdString(program), list);
    if (!process.waitForFinished(120000)) return {-1, "", "did not finish"};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}

}  // namespace testsupport
