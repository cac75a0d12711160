#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace corvane::CommandLine {

// What the arguments ask for. Qt's own display options (-platform NAME and the like) are
// left to QApplication; anything else that is not ours is an error.
enum class Request { run, help, version, unknown };
Request parse(const QStringList& arguments);

// Handles a request that ends the process: prints to stdout, or the help to stderr for an
// unknown option, and returns the exit status (0, or 2 for an unknown option). None for run.
// Needs a QCoreApplication so that the texts come out translated.
std::optional<int> answer(Request request);

QString helpText();
QString versionText();

} // namespace corvane::CommandLine
