// The autostart entry as the desktop reads it: GLib's own key-file and desktop-entry parsers, and
// a launch through GIO, the way a GNOME session starts it at login.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <memory>

#include "platform/launch_at_login_service.h"
#include "support/qt_printers.h"

namespace corvanta::platform {
namespace {

using namespace std::chrono_literals;

// GLib's allocations, freed the way GLib wants.
struct GFreeDeleter {
    void operator()(gpointer memory) const { g_free(memory); }
};
struct GStrvDeleter {
    void operator()(gchar** strings) const { g_strfreev(strings); }
};
struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct GKeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
struct GErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};

QString errorText(GError* error) {
    return error != nullptr ? QString::fromUtf8(error->message) : QString();
}

// A program at `path` that writes the path it was started as into `path`.started.
void writeRecordingProgram(const QString& path) {
    QFile program(path);
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.write("#!/bin/sh\nprintf '%s %s' \"$0\" \"$*\" > \"$0.started\"\n");
    program.close();
    ASSERT_TRUE(program.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner));
}

// Every backslash in the file starts one of the key-file escapes (\s \n \t \r \\), as
// desktop-file-validate demands; GLib's reader lets any other pair through unchanged, so it
// alone would not notice a quoting escape written without its own backslash escaped.
void expectOnlyKeyFileEscapes(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            continue;
        }
        ASSERT_LT(i + 1, text.size()) << text.constData();
        EXPECT_TRUE(QByteArray("sntr\\").contains(text[i + 1])) << text.constData();
        ++i;
    }
}

TEST(LaunchAtLoginService, TheEntryStartsTheProgramWhateverItsPathHoldsAsGLibReadsIt) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    // Every character the desktop-entry format treats specially inside a quoted argument, and
    // the ones it treats specially anywhere in the Exec value.
    const QStringList folders{
        QStringLiteral("Corvanta $HOME"), QStringLiteral("say \"hi\""),
        QStringLiteral("back`tick`"),     QStringLiteral("back\\slash\\\\n"),
        QStringLiteral("100% sure %u"),   QStringLiteral("it's all $(id) \\$ \\\" \\` ;&|<>*?"),
    };
    for (const QString& folder : folders) {
        SCOPED_TRACE(folder.toStdString());
        const QString home = root.filePath(folder);
        ASSERT_TRUE(QDir().mkpath(home));
        const QString program = home + QStringLiteral("/corvanta");
        writeRecordingProgram(program);
        const QString autostart = home + QStringLiteral("/autostart");
        LaunchAtLoginService service(autostart, program);
        service.setEnabled(true);
        ASSERT_TRUE(service.isEnabled());
        const QByteArray entry = QFile::encodeName(service.entryPath());
        ASSERT_NO_FATAL_FAILURE(expectOnlyKeyFileEscapes(service.entryPath()));

        // The key-file layer: the value unescapes without complaint and, its %% read as % (the
        // entry has no other field code), splits into the program's path and the switch that
        // starts it in the tray.
        std::unique_ptr<GKeyFile, GKeyFileDeleter> keys(g_key_file_new());
        GError* rawError = nullptr;
        ASSERT_TRUE(
            g_key_file_load_from_file(keys.get(), entry.constData(), G_KEY_FILE_NONE, &rawError))
            << errorText(rawError).toStdString();
        std::unique_ptr<gchar, GFreeDeleter> exec(
            g_key_file_get_string(keys.get(), "Desktop Entry", "Exec", &rawError));
        std::unique_ptr<GError, GErrorDeleter> error(rawError);
        ASSERT_NE(exec, nullptr) << errorText(error.get()).toStdString();
        const QByteArray command = QByteArray(exec.get()).replace("%%", "%");
        gchar** rawArgv = nullptr;
        ASSERT_TRUE(g_shell_parse_argv(command.constData(), nullptr, &rawArgv, nullptr))
            << exec.get();
        std::unique_ptr<gchar*, GStrvDeleter> argv(rawArgv);
        ASSERT_EQ(g_strv_length(argv.get()), 2u) << exec.get();
        EXPECT_EQ(QString::fromUtf8(argv.get()[0]), program) << exec.get();
        EXPECT_EQ(QString::fromUtf8(argv.get()[1]), QStringLiteral("--tray")) << exec.get();

        // The desktop-entry layer: GIO takes the entry as an application, and launching it, field
        // codes expanded, starts exactly that program. (GIO's executable name is only the value
        // up to the first space, so the launch is the check.) GIO looks for the program before it
        // expands %%, so it turns down any entry for a path with a % however it is written.
        if (program.contains(u'%')) {
            continue;
        }
        std::unique_ptr<GDesktopAppInfo, GObjectDeleter> app(
            g_desktop_app_info_new_from_filename(entry.constData()));
        ASSERT_NE(app, nullptr) << exec.get();
        rawError = nullptr;
        ASSERT_TRUE(g_app_info_launch(G_APP_INFO(app.get()), nullptr, nullptr, &rawError))
            << errorText(rawError).toStdString();
        QFile started(program + QStringLiteral(".started"));
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        const QString startedWith = program + QStringLiteral(" --tray");
        while (started.size() < startedWith.toUtf8().size() &&
               std::chrono::steady_clock::now() < deadline) {
            QThread::msleep(20);
        }
        ASSERT_TRUE(started.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(started.readAll()), startedWith);
    }
}

TEST(LaunchAtLoginService, AnEntryOfAnEarlierVersionIsBroughtUpToDate) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString autostart = root.filePath(QStringLiteral("autostart"));
    ASSERT_TRUE(QDir().mkpath(autostart));
    LaunchAtLoginService service(autostart, QStringLiteral("/opt/corvanta/corvanta"));
    const auto write = [&](const QByteArray& text) {
        QFile file(service.entryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    const auto read = [&] {
        QFile file(service.entryPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };

    // Nothing to refresh: no entry is made.
    service.refreshEntry();
    EXPECT_FALSE(QFile::exists(service.entryPath()));

    // An enabled entry that opens the window is written again to start in the tray.
    write("[Desktop Entry]\nType=Application\nName=Corvanta\nExec=\"/opt/corvanta/corvanta\"\n");
    service.refreshEntry();
    EXPECT_TRUE(read().contains(QStringLiteral("Exec=\"/opt/corvanta/corvanta\" --tray\n")))
        << read().toStdString();
    EXPECT_TRUE(service.isEnabled());

    // A hidden one is the user's choice and stays as it is.
    const QByteArray hidden =
        "[Desktop Entry]\nType=Application\nExec=\"/opt/corvanta/corvanta\"\nHidden=true\n";
    write(hidden);
    service.refreshEntry();
    EXPECT_EQ(read(), QString::fromUtf8(hidden));
}

}  // namespace
}  // namespace corvanta::platform
