// What a technician meets beyond the demo: a typed device path, a port that
// will not open, the program started connected, Qt's own texts in Japanese,
// and language texts that look like markup.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTranslator>
#include <fstream>
#include <regex>

#include "tests/app/AppFixture.h"
#include "panels/CProgressWindow.h"
#include "ports/CCOMPortManager.h"
#include "resources/CAppSettings.h"
#include "resources/CResourceDatabase.h"
#include "widgets/CLblColor.h"
#include "widgets/QtStandardTexts.h"

extern char** environ;

namespace qt40 {
namespace {

std::filesystem::path ProgramDir() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

// The window with a port list that does not hold the simulator: its path
// has to be typed.
class FieldUseTest : public AppFixture {
protected:
    void StartListing(std::vector<PortEntry> listed, const std::string& language = "English.lng",
                      std::filesystem::path languageDir = {}) {
        if (!server_) {
            server_ = std::make_unique<sim::SimPtyServer>(sim::SimDevice{});
            ASSERT_TRUE(server_->Start()) << server_->LastError();
        }
        {
            CAppSettings settings(dir_.filePath("settings.ini"));
            settings.Load(false);
            settings.displayLanguage = language;
            ASSERT_TRUE(settings.Save());
        }
        AppOptions options;
        options.settingsFile = dir_.filePath("settings.ini");
        options.languageDir = std::move(languageDir);
        options.japaneseLocale = false;
        options.prompts = &prompts_;
        options.portSource = [listed] { return listed; };
        options.timing = LinkTiming::Fast();
        options.timing.answerTimeoutMs = 300;
        options.timing.interByteTimeoutMs = 150;
        options.reconnectWaitMs = 0;
        options.reportError = [this](const QString& text) { errors_.push_back(text); };
        window_ = std::make_unique<CMainDlgDlg>(options);
        window_->show();
        ASSERT_TRUE(WaitFor([&] { return Box()->count() == static_cast<int>(listed.size()); }));
        window_->OpenPanel(CFunctionKeys::kConnect);
    }
    QComboBox* Box() { return window_->ConnectPanel()->PortBox(); }
    void Type(const std::string& path) {
        Box()->lineEdit()->clear();
        QTest::keyClicks(Box()->lineEdit(), QString::fromStdString(path));
    }
    std::string StoredPort() {
        CAppSettings settings(dir_.filePath("settings.ini"));
        settings.Load(false);
        return settings.comPort;
    }

    const std::vector<PortEntry> other_{{"/dev/ttyQT9", "ttyQT9", "Listed port (ttyQT9)"}};
};

TEST_F(FieldUseTest, ATypedPathConnectsAndIsKeptLikeAListedPort) {
    StartListing(other_);
    const std::string path = server_->SlavePath();
    Type(path);
    Child(window_->ConnectPanel(), "connect")->click();
    ASSERT_TRUE(WaitFor([&] { return Connected(); }));
    EXPECT_TRUE(prompts_.Messages().empty());
    EXPECT_EQ(window_->Connection().PortName(), path);
    EXPECT_EQ(StoredPort(), path);

    // A new start offers the path again, and a new port list keeps it.
    window_->Connection().StopConnection();
    window_.reset();
    StartListing(other_);
    EXPECT_EQ(Box()->currentText().toStdString(), path);
    EXPECT_EQ(window_->ConnectPanel()->SelectedPortName(), path);
    window_->ConnectPanel()->SetPorts(other_);  // as a device change does
    EXPECT_EQ(Box()->currentText().toStdString(), path);
    // So does a path being typed, not yet used.
    Type("/dev/ttyQT-typing");
    window_->ConnectPanel()->SetPorts(other_);
    EXPECT_EQ(Box()->currentText(), "/dev/ttyQT-typing");
    EXPECT_EQ(StoredPort(), path);

    // Choosing a listed entry again takes that one.
    Box()->setCurrentIndex(0);
    EXPECT_EQ(window_->ConnectPanel()->SelectedPortName(), "ttyQT9");
}

TEST_F(FieldUseTest, WithNoListedPortTheBoxStillTakesAPath) {
    StartListing({});
    auto* connect = Child(window_->ConnectPanel(), "connect");
    EXPECT_TRUE(Box()->isEnabled());
    EXPECT_FALSE(connect->isEnabled());
    Type(server_->SlavePath());
    EXPECT_TRUE(connect->isEnabled());
    connect->click();
    EXPECT_TRUE(WaitFor([&] { return Connected(); }));
}

TEST_F(FieldUseTest, APathThatDoesNotExistSaysSoAndRetryTriesAgain) {
    StartListing(other_);
    const std::string missing = "/dev/qt40-unplugged";
    Type(missing);
    prompts_.QueueAnswers({Answer::Retry, Answer::Cancel});
    Child(window_->ConnectPanel(), "connect")->click();
    ASSERT_EQ(prompts_.Messages().size(), 2u);
    for (const auto& asked : prompts_.Messages()) {
        EXPECT_EQ(asked.key, "Err_Port_Missing");
        EXPECT_EQ(asked.args, MessageArgs{missing});
        EXPECT_EQ(asked.type, BoxType::RetryCancelInfoSystemModal);
    }
    EXPECT_FALSE(window_->Connection().Connected());
    EXPECT_TRUE(Child(window_->ConnectPanel(), "connect")->isEnabled());

    // Searching on it asks the same instead of walking the addresses.
    window_->Worker().WithSession([](DeviceState& s) { s.record.pollingAddress = 4; });
    prompts_.QueueAnswer(Answer::Cancel);
    Child(window_->ConnectPanel(), "search")->click();
    ASSERT_EQ(prompts_.Messages().size(), 3u);
    EXPECT_EQ(prompts_.Messages()[2].key, "Err_Port_Missing");
    EXPECT_EQ(window_->Connection().PollingAddress(), 4);
    EXPECT_FALSE(window_->SearchWindow()->isVisible());
    EXPECT_TRUE(window_->isEnabled());
}

TEST_F(FieldUseTest, QtsOwnButtonsFollowTheLanguageFile) {
    // Qt's texts of the standard buttons, without "(&Y)" and "&".
    const auto buttonText = [](QMessageBox::StandardButton which) {
        QMessageBox box;
        QString text = box.addButton(which)->text();
        text.remove(QRegularExpression("\\(&.\\)"));
        return text.remove('&');
    };
    Start();
    EXPECT_EQ(buttonText(QMessageBox::Yes), "Yes");
    window_->Settings().displayLanguage = "Japanese.lng";
    window_->ApplyLanguage(false);
    ASSERT_TRUE(QFile::exists(QtStandardTexts::Folders().last() + "/qtbase_ja.qm"))
        << "install qt6-translations-l10n";
    EXPECT_EQ(buttonText(QMessageBox::Yes), "はい");
    EXPECT_EQ(buttonText(QMessageBox::Cancel), "キャンセル");
    {
        QFileDialog files;
        files.setOption(QFileDialog::DontUseNativeDialog, true);
        auto* buttons = files.findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text().remove('&'), "キャンセル");
    }

    // The Japanese texts that name a button name it as the button shows it.
    CResourceDatabase japanese(ProgramDir());
    japanese.Init();
    japanese.Load("Japanese.lng");
    CResourceDatabase english(ProgramDir());
    english.Init();
    english.Load("English.lng");
    const std::vector<std::pair<const char*, std::vector<QMessageBox::StandardButton>>> naming = {
        {"Confr_Search_Address", {QMessageBox::No, QMessageBox::Cancel}},
        {"Err_Custom_Table_Data", {QMessageBox::Ok, QMessageBox::Cancel}},
        {"Err_Special_Table_Data", {QMessageBox::Ok, QMessageBox::Cancel}},
        {"Err_COM", {QMessageBox::Retry}},
        {"Err_Not_Device", {QMessageBox::Retry}},
        {"Err_Port_Missing", {QMessageBox::Retry}},
        {"Err_Port_Denied", {QMessageBox::Retry}},
        {"Err_Port_Busy", {QMessageBox::Retry}},
    };
    std::vector<std::pair<std::string, QString>> japaneseLabels;
    for (const auto& [key, buttons] : naming) {
        for (auto button : buttons) {
            const QString label = buttonText(button);
            EXPECT_TRUE(QString::fromStdString(japanese.UIMsg(key)).contains(label))
                << key << " should name " << label.toStdString();
        }
    }

    // Back to English: Qt's built-in texts again, and the English texts name them.
    window_->Settings().displayLanguage = "English.lng";
    window_->ApplyLanguage(false);
    EXPECT_EQ(buttonText(QMessageBox::Yes), "Yes");
    for (const auto& [key, buttons] : naming) {
        for (auto button : buttons) {
            EXPECT_TRUE(QString::fromStdString(english.UIMsg(key))
                            .contains(buttonText(button), Qt::CaseInsensitive))
                << key;
        }
    }
    EXPECT_TRUE(errors_.empty());
}

TEST_F(FieldUseTest, LanguageTextsThatLookLikeMarkupAreShownAsWritten) {
    // English.lng with the port label and the panel title made to begin with a tag.
    QTemporaryDir languages;
    const std::filesystem::path dir = languages.path().toStdString();
    {
        std::ifstream in(ProgramDir() / "English.lng");
        std::string text((std::istreambuf_iterator<char>(in)), {});
        text = std::regex_replace(
            text, std::regex(R"(<gui name="150">)"),
            R"(<gui name="150"><text name="1302">&lt;b&gt;Port&lt;/b&gt; here</text><text name="1301">&lt;i&gt;Title</text>)");
        std::ofstream(dir / "English.lng") << text;
    }
    StartListing(other_, "English.lng", dir);
    ASSERT_TRUE(errors_.empty()) << errors_.front().toStdString();
    QLabel* port = nullptr;
    for (auto* label : window_->ConnectPanel()->findChildren<QLabel*>()) {
        if (label->property("controlId").toInt() == 1302) port = label;
    }
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->text(), "<b>Port</b> here");
    EXPECT_EQ(port->textFormat(), Qt::PlainText);
    auto* title = window_->ConnectPanel()->findChild<CLblColor*>("title");
    EXPECT_EQ(title->text(), "<i>Title");
    EXPECT_EQ(title->textFormat(), Qt::PlainText);

    // A label made without the panel's helpers becomes plain text when relabelled.
    QWidget bare;
    auto* raw = new QLabel("<b>x</b>", &bare);
    raw->setProperty("controlId", 1302);
    window_->Texts().Relabel(150, &bare);
    EXPECT_EQ(raw->textFormat(), Qt::PlainText);
    EXPECT_EQ(raw->text(), "<b>Port</b> here");

    // Every label the language file may relabel, in every panel and the
    // status bar, monitor and function column, is plain text.
    for (int button :
         {CFunctionKeys::kConnect, CFunctionKeys::kDeviceInfo, CFunctionKeys::kSensorInfo,
          CFunctionKeys::kPollingAddress, CFunctionKeys::kLanguage}) {
        window_->OpenPanel(button);
    }
    for (auto* label : window_->findChildren<QLabel*>()) {
        if (!label->property("controlId").isValid() && !qobject_cast<CLblColor*>(label)) continue;
        EXPECT_EQ(label->textFormat(), Qt::PlainText)
            << label->objectName().toStdString() << " " << label->text().toStdString();
    }
}

TEST(LanguageFolderTest, BesideTheProgramFirstThenTheInstalledDataFolder) {
    QTemporaryDir root;
    const std::filesystem::path bin = std::filesystem::path(root.path().toStdString()) / "usr/bin";
    const std::filesystem::path data =
        std::filesystem::path(root.path().toStdString()) / "usr/share/qt40cfg";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(data);
    EXPECT_EQ(CResourceDatabase::LanguageDirFor(bin), bin);  // neither has one
    std::ofstream(data / "English.lng") << "x";
    EXPECT_EQ(CResourceDatabase::LanguageDirFor(bin), data);
    std::ofstream(bin / "Japanese.lng") << "x";
    EXPECT_EQ(CResourceDatabase::LanguageDirFor(bin), bin);
}

// The window program started with --port, as its own process, connects to
// the simulator at once and polls it.
TEST(StartOptionsTest, PortConnectsAtStartAndABadAddressIsRefused) {
    sim::SimPtyServer server(sim::SimDevice(sim::SimModel::QT40, 3));
    ASSERT_TRUE(server.Start()) << server.LastError();
    QTemporaryDir home;
    const auto run = [&](std::vector<std::string> args, bool untilPolling) {
        std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen",
                                        "HOME=" + home.path().toStdString(),
                                        "XDG_CONFIG_HOME=" + home.path().toStdString()};
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        args.insert(args.begin(), QT40CFG_EXE);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (::posix_spawn(&pid, QT40CFG_EXE, nullptr, nullptr, argv.data(), envp.data()) != 0) {
            return -1;
        }
        if (untilPolling) {
            // Identification, 18 uploads, then idle polls of three commands.
            QElapsedTimer timer;
            timer.start();
            while (server.RequestCount() < 25 && timer.elapsed() < 20000) QTest::qWait(50);
            ::kill(pid, SIGTERM);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    };
    App();
    EXPECT_EQ(run({"--port", server.SlavePath(), "--address", "16"}, false), 2);
    EXPECT_EQ(server.RequestCount(), 0u);
    run({"--port", server.SlavePath(), "--address", "3"}, true);
    EXPECT_GE(server.RequestCount(), 25u);
    const QString stored = home.filePath("Orvale/qt40cfg.conf");
    QSettings settings(stored, QSettings::IniFormat);
    EXPECT_EQ(settings.value("Settings/COMPort").toString().toStdString(), server.SlavePath());
    EXPECT_EQ(settings.value("Settings/PollingAddr").toString(), "3");
}

}  // namespace
}  // namespace qt40

namespace qt40 {
namespace {

// Help and version need no display: they work where no window could open.
TEST(StartOptionsTest, HelpAndVersionWithoutADisplay) {
    struct Row {
        const char* option;
        const char* says;
    };
    for (const Row& row :
         {Row{"--version", "QT40CFG PC Configurator Ver"}, Row{"--help", "--port <port>"}}) {
        const std::string command =
            std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") + QT40CFG_EXE +
            " " + row.option + " 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        const int status = ::pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << row.option << "\n" << out;
        EXPECT_NE(out.find(row.says), std::string::npos) << out;
    }
}

}  // namespace
}  // namespace qt40
