// Random paths, server names, folders and file lists through the publishing code's name builders:
// no crash, and the results keep what the page and the upload rely on.
#include "publishing/FtpSession.h"
#include "publishing/FtpUploadSequence.h"
#include "publishing/HtmlNames.h"

#include <QUrl>
#include <gtest/gtest.h>
#include <random>

namespace {

// Characters biased toward what matters: separators, dots, URL delimiters, markup, blanks.
QString RandomText(std::mt19937& rng, int maxLength) {
    static const QString alphabet = QStringLiteral("/\\..;:@?#%&<>\" \tabcXYZ019-_");
    std::uniform_int_distribution<int> length(0, maxLength);
    QString text;
    const int n = length(rng);
    while (text.size() < n) {
        const char16_t unit = static_cast<char16_t>(rng() % 0x10000);
        const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF; // not text on its own
        text += rng() % 8 == 0 && !surrogate ? QChar(unit) : alphabet[rng() % alphabet.size()];
    }
    return text;
}

constexpr int kRounds = 20000;

} // namespace

TEST(FuzzPublishing, NamesStayBesideThePageAndKeepTheirCase) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < kRounds; ++round) {
        const QString path = RandomText(rng, 40);
        const QString folder = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
        const QString base = HtmlBaseName(path);
        ASSERT_TRUE(path.startsWith(base)) << path.toStdString();
        ASSERT_TRUE(base.startsWith(folder))
            << "the base never leaves the page's folder: " << path.toStdString();
        ASSERT_EQ(CssFileName(path), base + QStringLiteral(".css"));
        ASSERT_EQ(MapImageName(path, QStringLiteral("Png")), base + QStringLiteral("2.Png"));
        const QString name = FileNamePart(path);
        ASSERT_FALSE(name.contains(QLatin1Char('/')));
        ASSERT_EQ(name, path.mid(folder.size()));
        ASSERT_FALSE(ImageSourceName(MapImageName(path, QStringLiteral("png")), QStringLiteral("png"))
                         .contains(QLatin1Char('/')));
    }
}

// Whatever the operator types, the URL names only the server: no user part, path or query sneaks
// in from the server name, and the folder's segments stay segments.
TEST(FuzzPublishing, UrlsNameOnlyTheServerAndTheFolder) {
    std::mt19937 rng(99);
    for (int round = 0; round < kRounds; ++round) {
        const QString server = RandomText(rng, 20);
        if (const auto url = FtpServerUrl(server)) {
            const QUrl parsed = QUrl::fromEncoded(*url, QUrl::StrictMode);
            ASSERT_TRUE(parsed.isValid()) << url->constData();
            ASSERT_EQ(parsed.scheme(), QStringLiteral("ftp"));
            ASSERT_TRUE(parsed.userInfo().isEmpty() && parsed.path().isEmpty() && !parsed.hasQuery() &&
                        !parsed.hasFragment())
                << server.toStdString() << " -> " << url->constData();
        }
        const QString folder = RandomText(rng, 30);
        const QByteArray path = FtpFolderPath(folder);
        for (const char c : path)
            ASSERT_TRUE(QByteArray("%/-._~").contains(c) || std::isalnum(static_cast<unsigned char>(c)))
                << path.constData();
        QStringList segments = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (folder.startsWith(QLatin1Char('/')))
            segments.prepend(QStringLiteral("/"));
        QStringList decoded;
        for (const QByteArray& segment : path.split('/'))
            if (!segment.isEmpty())
                decoded << QString::fromUtf8(QByteArray::fromPercentEncoding(segment));
        ASSERT_EQ(decoded, segments) << folder.toStdString();

        for (const QString& file : SplitAdditionalFiles(RandomText(rng, 40)))
            ASSERT_TRUE(!file.isEmpty() && !file.contains(QLatin1Char(';')) && file == file.trimmed());
    }
}
