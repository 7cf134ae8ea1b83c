#include "gui/help/runprogram.h"

#include <QDesktopServices>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include "format/textcodec.h"

namespace orm {

namespace {

std::string nativePath(const std::string& cp1251)
{
    return QFile::encodeName(FromCp1251(cp1251)).toStdString();
}

QString fromNative(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The desktop's default program for the file's type, asked of xdg-mime; empty when there is
// none or xdg-mime does not answer.
QString defaultApplication(const QString& xdgMime, const QString& path)
{
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    QProcess query;
    query.setProcessChannelMode(QProcess::SeparateChannels);
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(10000)) {
        query.kill();
        query.waitForFinished(1000);
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

UrlOpener& urlOpener()
{
    static UrlOpener opener;
    return opener;
}

}  // namespace

void SetUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

void TRunPrg::Run() const
{
    const QString name = FromCp1251(ProgramName).trimmed();
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(name).hasMatch()) {
        const QUrl url(name);
        const bool opened = url.isValid() && (urlOpener() ? urlOpener()(url)
                                                          : QDesktopServices::openUrl(url));
        if (!opened)
            throw ERunPrgError(kShellNoAssociation);
        return;
    }
    const std::string dir = nativePath(StartDir);
    const ShellTarget target = ClassifyShellOpen(nativePath(ProgramName), dir,
                                                 qEnvironmentVariable("PATH").toStdString());
    if (target.What == ShellTarget::Failed)
        throw ERunPrgError(target.Error);

    QProcess process;
    process.setWorkingDirectory(fromNative(dir));
    if (target.What == ShellTarget::Executable) {
        QStringList args;
        for (const std::string& arg : SplitCommandLine(Parameters))
            args << FromCp1251(arg);
        process.setProgram(fromNative(target.Path));
        process.setArguments(args);
        if (!process.startDetached())
            throw ERunPrgError(kShellBadFormat);
        return;
    }

    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    const QString path = fromNative(target.Path);
    // xdg-open starts happily and fails later when no program takes the type, so ask first.
    if (xdgOpen.isEmpty() || xdgMime.isEmpty() || defaultApplication(xdgMime, path).isEmpty())
        throw ERunPrgError(kShellNoAssociation);
    process.setProgram(xdgOpen);
    process.setArguments({path});
    if (!process.startDetached())
        throw ERunPrgError(kShellNoAssociation);
}

void RunProgram(const std::string& file, const std::string& params, const std::string& dir)
{
    TRunPrg prg;
    prg.ProgramName = file;
    prg.Parameters = params;
    prg.StartDir = dir;
    prg.ShowMode = TShowMode::smNormal;
    prg.Run();
}

}  // namespace orm
