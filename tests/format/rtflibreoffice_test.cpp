// A word processor reads what our writer writes whole: LibreOffice converts our RTF of every
// kind of document our reader loads to text, and that text is the document's own.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "format/rtfwriter.h"
#include "rtftest.h"

using namespace orm;
using namespace orm::test;

namespace {

// The lines of a text that hold something, trimmed.
QStringList lines(QString text)
{
    text.remove(QChar(0xFEFF));
    // LibreOffice puts a no-break space after "№" of Russian text itself.
    text.replace(QChar(0x00A0), QChar(' '));
    text.remove(QChar(QChar::ObjectReplacementCharacter));
    text.replace(QChar(QChar::LineSeparator), QChar('\n'));
    text.replace(QChar(QChar::ParagraphSeparator), QChar('\n'));
    QStringList out;
    for (const QString& line : text.split(QChar('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            out << trimmed;
    }
    return out;
}

std::string pngHex()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toHex().toStdString();
}

}  // namespace

TEST(RtfLibreOffice, ReadsOurOutputOfEveryKindOfDocumentWhole)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "soffice (Debian package libreoffice-writer-nogui) is not installed: "
                        "LibreOffice's reading of our RTF is not checked";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    struct Source {
        const char* name;
        std::string rtf;
    };
    std::vector<Source> sources;
    for (const char* name :
         {"report.rtf", "word.rtf", "wordpad.rtf", "libreoffice.rtf", "libreoffice-report.rtf"})
        sources.push_back({name, DataFile(name)});
    sources.push_back(
        {"runs.rtf",
         ToCp1251("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\froman\\fcharset204 Times New "
                  "Roman;}}\\paperw11906\\paperh16838\\pard x\\super 2\\nosupersub , H\\sub 2"
                  "\\nosupersub O и {\\b жирный}{\\i\\ul курсив}\\par"
                  "\\trowd\\trgaph55\\cellx3000\\cellx6000\\pard\\intbl Первая\\cell Вторая\\cell"
                  "\\row\\pard\\par\\trowd\\cellx2000\\pard\\intbl Третья\\cell\\row"
                  "\\pard Сноска{\\super\\chftn}{\\footnote Текст} и рисунок ") +
             "{\\pict\\pngblip\\picw8\\pich8 " + pngHex() + "}.\\par}"});

    QStringList inputs;
    std::vector<QStringList> expected;
    for (const Source& s : sources) {
        const auto doc = ReadDocument(s.rtf);
        const QString path = dir.filePath(QStringLiteral("ours-") + QString::fromLatin1(s.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const std::string written = WriteRtf(*doc);
        file.write(written.data(), qint64(written.size()));
        file.close();
        inputs << path;
        expected.push_back(lines(BodyText(*doc)));
    }

    // A profile of its own, so that no other LibreOffice (or test) shares it.
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(soffice,
                  QStringList{QStringLiteral("-env:UserInstallation=file://") +
                                  dir.filePath(QStringLiteral("profile")),
                              QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                              QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("--outdir"),
                              dir.filePath(QStringLiteral("out"))} +
                      inputs);
    ASSERT_TRUE(process.waitForFinished(300000)) << "soffice did not finish";
    const QString log = QString::fromUtf8(process.readAll());

    for (size_t k = 0; k < sources.size(); ++k) {
        SCOPED_TRACE(sources[k].name);
        QFile text(dir.filePath(QStringLiteral("out/ours-") +
                                QString::fromLatin1(sources[k].name).replace(
                                    QStringLiteral(".rtf"), QStringLiteral(".txt"))));
        ASSERT_TRUE(text.open(QIODevice::ReadOnly)) << log.toStdString();
        const QStringList got = lines(QString::fromUtf8(text.readAll()));
        EXPECT_EQ(got, expected[k]) << got.join(QChar('|')).toStdString() << "\n"
                                    << expected[k].join(QChar('|')).toStdString();
        EXPECT_FALSE(expected[k].isEmpty());
    }
}

namespace {

// Runs LibreOffice on files, converting each into dir/out with the given filter.
QString convert(const QString& soffice, const QTemporaryDir& dir, const QString& filter,
                const QStringList& files)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(soffice,
                  QStringList{QStringLiteral("-env:UserInstallation=file://") +
                                  dir.filePath(QStringLiteral("profile")),
                              QStringLiteral("--headless"), QStringLiteral("--convert-to"), filter,
                              QStringLiteral("--outdir"), dir.filePath(QStringLiteral("out"))} +
                      files);
    EXPECT_TRUE(process.waitForFinished(300000)) << "soffice did not finish";
    return QString::fromUtf8(process.readAll());
}

int pagesOf(const QString& pdf)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    info.waitForFinished(60000);
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    const qsizetype at = out.indexOf(QStringLiteral("Pages:"));
    return at < 0 ? -1 : out.mid(at + 6).section(QChar('\n'), 0, 0).trimmed().toInt();
}

}  // namespace

// A word processor makes of a document we saved what it makes of the original: the same text
// and the same number of pages.
TEST(RtfLibreOffice, SavedDocumentsHaveTheOriginalsTextAndPages)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        GTEST_SKIP() << "soffice (libreoffice-writer-nogui) or pdfinfo (poppler-utils) is not "
                        "installed: LibreOffice's reading of our RTF is not checked";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const char* const names[] = {"word-parts.rtf", "word97-parts.rtf", "libreoffice-parts.rtf",
                                 "word.rtf",       "wordpad.rtf",      "libreoffice.rtf",
                                 "libreoffice-report.rtf", "report.rtf"};
    QStringList files;
    for (const char* name : names) {
        const std::string original = DataFile(name);
        const std::string saved = WriteRtf(*ReadDocument(original));
        for (const auto& [prefix, bytes] : {std::pair{"orig-", &original}, {"ours-", &saved}}) {
            QFile file(dir.filePath(QLatin1String(prefix) + QLatin1String(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes->data(), qint64(bytes->size()));
            files << file.fileName();
        }
    }
    const QString log = convert(soffice, dir, QStringLiteral("txt:Text (encoded):UTF8"), files) +
                        convert(soffice, dir, QStringLiteral("pdf"), files);
    auto out = [&](const char* prefix, const char* name, const char* ext) {
        return dir.filePath(QStringLiteral("out/") + QLatin1String(prefix) +
                            QString::fromLatin1(name).replace(QStringLiteral(".rtf"),
                                                              QLatin1String(ext)));
    };
    for (const char* name : names) {
        SCOPED_TRACE(name);
        QFile original(out("orig-", name, ".txt"));
        QFile ours(out("ours-", name, ".txt"));
        ASSERT_TRUE(original.open(QIODevice::ReadOnly) && ours.open(QIODevice::ReadOnly))
            << log.toStdString();
        // The words and their order; not the blanks between them: a list's label is text of
        // ours (followed by its tab), where the original has LibreOffice number the list.
        auto words = [](QFile& file) {
            QStringList out = lines(QString::fromUtf8(file.readAll()));
            for (QString& line : out)
                line = line.simplified();
            return out.join(QChar('\n')).toStdString();
        };
        const std::string expected = words(original);
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(words(ours), expected);
        const int pages = pagesOf(out("orig-", name, ".pdf"));
        EXPECT_GT(pages, 0) << log.toStdString();
        EXPECT_EQ(pagesOf(out("ours-", name, ".pdf")), pages);
    }
}
