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
        expected.push_back(lines(doc->toPlainText()));
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
