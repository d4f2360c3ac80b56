// What a whole headless run leaves behind, and the transport rules, checked from outside the
// client: its standard streams, every file under its private HOME, and the backend's journal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDirIterator>
#include <QFile>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <set>

#include "headless_process.h"
#include "support/devserver_process.h"
#include "support/qt_printers.h"

namespace corvanta::testing {
namespace {

using namespace std::chrono_literals;

// Long enough that a partial echo (a prefix of it) would still be recognisable.
const QString kKey = QStringLiteral("ck-live-7f3a9c2e5b1d4e8f60a2");

unsigned modeOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.toLocal8Bit().constData(), &info), 0) << path.toStdString();
    return info.st_mode & 0777;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every access token the client presented to the backend.
std::set<std::string> tokensSeen(DevServerProcess& server) {
    std::set<std::string> tokens;
    for (const auto& request : server.requests()) {
        const auto& headers = request["headers"];
        if (headers.contains("token") && !headers["token"].get<std::string>().empty()) {
            tokens.insert(headers["token"].get<std::string>());
        }
    }
    return tokens;
}

TEST(Security, AFullRunKeepsTheTokenInTheSecretStoreOnlyAndLogsTheKeyMasked) {
    DevServerProcess server({"--difficulty", "4", "--demo-key", kKey});
    HeadlessProcess client(server.url());
    client.captureStandardError();
    client.start(kKey);
    ASSERT_TRUE(client.waitFor("\\[TASK\\] ✅ verified id=", 1, 90s))
        << client.lines().join('\n').toStdString();
    EXPECT_EQ(client.terminate(), 0);

    const auto tokens = tokensSeen(server);
    ASSERT_FALSE(tokens.empty());
    const QByteArray keyPrefix = kKey.left(kKey.size() - 4).toUtf8();
    const QByteArray stdoutText = client.lines().join('\n').toUtf8();
    const QByteArray stderrText = client.standardError();

    // The key shows up masked, and neither it nor the token in any readable form.
    const QString masked = QString(kKey.size() - 4, QChar(0x2022)) + kKey.right(4);
    EXPECT_EQ(client.countMatching(QStringLiteral("\\[AUTH\\] key loaded ") + masked + "$"), 1)
        << stdoutText.toStdString();
    for (const auto* stream : {&stdoutText, &stderrText}) {
        EXPECT_FALSE(stream->contains(keyPrefix)) << stream->toStdString();
        for (const auto& token : tokens) {
            EXPECT_FALSE(stream->contains(QByteArray::fromStdString(token)));
        }
    }

    // Every file the client wrote: only the secret store holds the token; the run-log
    // databases (with their journals) never hold the key either. The preferences file keeps
    // the key by design, so it is exempt from that check only.
    const QString secretFile =
        client.homeDirectory() + QStringLiteral("/config/Corvanta/secrets.json");
    int files = 0;
    int logDatabases = 0;
    QDirIterator it(client.homeDirectory(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray content = readAll(path);
        ++files;
        if (path == secretFile) {
            continue;
        }
        for (const auto& token : tokens) {
            EXPECT_FALSE(content.contains(QByteArray::fromStdString(token))) << path.toStdString();
        }
        if (it.fileName().startsWith(QStringLiteral("corvanta_logs"))) {
            ++logDatabases;
            EXPECT_FALSE(content.contains(keyPrefix)) << path.toStdString();
        }
    }
    EXPECT_GE(files, 3);
    EXPECT_GE(logDatabases, 1);

    // No Secret Service in this environment: the fallback file holds the token, and only its
    // owner can read it or even enter its folder.
    const QByteArray secrets = readAll(secretFile);
    ASSERT_FALSE(secrets.isEmpty());
    EXPECT_TRUE(std::any_of(tokens.begin(), tokens.end(), [&](const std::string& token) {
        return secrets.contains(QByteArray::fromStdString(token));
    }));
    EXPECT_EQ(modeOf(secretFile), 0600u);
    EXPECT_EQ(modeOf(QFileInfo(secretFile).path()), 0700u);
}

// An address of this machine that is not loopback, or none.
QHostAddress externalAddress() {
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
            return address;
        }
    }
    return {};
}

// A self-signed certificate for 127.0.0.1, trusted by nobody.
bool makeCertificate(const QString& certFile, const QString& keyFile) {
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                   "subjectAltName=IP:127.0.0.1", "-keyout", keyFile, "-out", certFile});
    return openssl.waitForFinished(30'000) && openssl.exitCode() == 0;
}

TEST(Security, RefusesPlainHttpToAnotherHostAndAnUntrustedCertificate) {
    // Plain HTTP to a non-loopback address: refused before anything is sent. A listener on
    // that address would see the attempt.
    QTcpServer listener;
    const QHostAddress external = externalAddress();
    QString plainUrl = QStringLiteral("http://192.0.2.1:9");  // documentation range: unreachable
    if (!external.isNull() && listener.listen(external)) {
        plainUrl =
            QStringLiteral("http://%1:%2").arg(external.toString()).arg(listener.serverPort());
    }
    {
        HeadlessProcess client(plainUrl);
        client.captureStandardError();
        client.start(kKey);
        EXPECT_EQ(client.waitForExit(30s), 1);
        EXPECT_TRUE(client.standardError().contains("The server address is not valid."))
            << client.standardError().toStdString();
    }
    if (listener.isListening()) {
        EXPECT_FALSE(listener.waitForNewConnection(200)) << plainUrl.toStdString();
    }

    // HTTPS with a certificate no authority vouches for: the handshake fails and no request
    // reaches the server.
    QTemporaryDir dir;
    const QString cert = dir.filePath(QStringLiteral("self.pem"));
    const QString certKey = dir.filePath(QStringLiteral("self.key"));
    ASSERT_TRUE(makeCertificate(cert, certKey));
    DevServerProcess server({"--cert", cert, "--cert-key", certKey, "--demo-key", kKey});
    ASSERT_TRUE(server.url().startsWith(QStringLiteral("https://127.0.0.1:")));
    HeadlessProcess client(server.url());
    client.captureStandardError();
    client.start(kKey);
    EXPECT_EQ(client.waitForExit(90s), 1);
    EXPECT_TRUE(client.standardError().contains("sign-in with CORVANTA_KEY failed"))
        << client.standardError().toStdString();
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(client.lines().isEmpty());
}

}  // namespace
}  // namespace corvanta::testing
