// The demo windows rendered by the real executable: every combination of words, the size line
// and the PNG it describes, the same file on every run, and the paths that are no output.
#include "tests/TestSupport.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <QColor>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

// The words after --demo-window, one bit each in a combination.
constexpr std::array<const char*, 5> wordNames{"dark", "advisor", "safe", "expanded", "developer"};
enum Word : unsigned { dark = 1, advisor = 2, safe = 4, expanded = 8, developer = 16 };
constexpr unsigned combinations = 1U << wordNames.size();

QStringList demoArguments(unsigned words, const std::string& output) {
    QStringList args{QStringLiteral("--demo-window")};
    for (std::size_t i = 0; i < wordNames.size(); ++i) {
        if ((words & (1U << i)) != 0) {
            args << QString::fromLatin1(wordNames[i]);
        }
    }
    if (!output.empty()) {
        args << QString::fromStdString(output);
    }
    return args;
}

// A home and configuration folder of their own, so that no stored setting of the user changes
// the picture, and no display: the executable draws off screen by itself.
class DemoHome {
  public:
    DemoHome() {
        env_ = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS",
              "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "VANTREL_TIMING",
              "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_ENABLE_HIGHDPI_SCALING",
              "QT_FONT_DPI"}) {
            env_.remove(QString::fromLatin1(name));
        }
        std::filesystem::create_directories(at("home/.config"));
        std::filesystem::create_directories(at("run"));
        std::filesystem::permissions(at("run"), std::filesystem::perms::owner_all);
        env_.insert(QStringLiteral("HOME"), QString::fromStdString(at("home")));
        env_.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(at("home/.config")));
        env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(at("run")));
    }

    std::string at(const std::string& relative) const { return (folder_.path / relative).string(); }
    const QProcessEnvironment& env() const { return env_; }

  private:
    TempFolder folder_;
    QProcessEnvironment env_;
};

struct Outcome {
    int status = -1; // -1: crashed or still running after 30 seconds
    std::string out;
};

// Runs the executable once for each argument list, up to `parallel` copies at a time (most of a
// run is the wait before rendering), and gives the outcomes in the order of the lists.
std::vector<Outcome> runAll(const std::vector<QStringList>& jobs, const QProcessEnvironment& env,
                            std::size_t parallel = 8) {
    std::vector<Outcome> outcomes(jobs.size());
    std::vector<std::unique_ptr<QProcess>> processes(jobs.size());
    std::size_t started = 0;
    for (std::size_t done = 0; done < jobs.size(); ++done) {
        for (; started < jobs.size() && started < done + parallel; ++started) {
            auto& process = processes[started] = std::make_unique<QProcess>();
            process->setProcessEnvironment(env);
            process->setStandardErrorFile(QProcess::nullDevice());
            process->start(QStringLiteral(VANTREL_BINARY), jobs[started]);
        }
        QProcess& process = *processes[done];
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
        } else if (process.exitStatus() == QProcess::NormalExit) {
            outcomes[done].status = process.exitCode();
        }
        outcomes[done].out = process.readAllStandardOutput().toStdString();
        processes[done].reset();
    }
    return outcomes;
}

std::string sizeLine(const std::string& path, const QImage& image) {
    return path + ' ' + std::to_string(image.width()) + 'x' + std::to_string(image.height()) + '\n';
}

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(DemoWindow, EveryCombinationOfWordsRendersItsWindow) {
    const DemoHome home;
    std::vector<QStringList> jobs;
    std::vector<std::string> paths;
    for (unsigned words = 0; words < combinations; ++words) {
        paths.push_back(home.at("demo-" + std::to_string(words) + ".png"));
        jobs.push_back(demoArguments(words, paths.back()));
    }
    const std::vector<Outcome> outcomes = runAll(jobs, home.env());

    std::vector<QImage> images(combinations);
    for (unsigned words = 0; words < combinations; ++words) {
        SCOPED_TRACE(jobs[words].join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(outcomes[words].status, 0);
        const QImage image(QString::fromStdString(paths[words]));
        ASSERT_FALSE(image.isNull()) << "no PNG written";
        EXPECT_EQ(outcomes[words].out, sizeLine(paths[words], image));

        const int width = (words & advisor) != 0 ? 360 : (words & developer) != 0 ? 460 : 380;
        EXPECT_EQ(image.width(), width);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "the corners are rounded off";
        const QColor top = image.pixelColor(image.width() / 2, 3);
        EXPECT_EQ(top.alpha(), 255);
        if ((words & dark) != 0) {
            EXPECT_LT(top.lightnessF(), 0.3) << top.name().toStdString();
        } else {
            EXPECT_GT(top.lightnessF(), 0.9) << top.name().toStdString();
        }
        images[words] = image;
    }

    for (unsigned words = 0; words < combinations; ++words) {
        SCOPED_TRACE(jobs[words].join(QLatin1Char(' ')).toStdString());
        if ((words & (safe | developer | expanded)) != 0) {
            continue;
        }
        if ((words & advisor) != 0) {
            EXPECT_NE(images[words], images[words | safe]) << "the two sample prompts";
            EXPECT_EQ(images[words], images[words | developer]) << "the advisor has no layouts";
        } else {
            EXPECT_EQ(images[words], images[words | safe]) << "only the advisor has two prompts";
            EXPECT_EQ(images[words | developer], images[words | developer | safe]);
        }
        // Expanded opens the details of the flagged device, or of the prompt.
        EXPECT_GT(images[words | expanded].height(), images[words].height());
    }
}

TEST(DemoWindow, TheSameWordsGiveTheSameFile) {
    const DemoHome home;
    const std::array<unsigned, 3> cases{0, dark | developer | expanded, dark | advisor | safe};
    std::vector<QStringList> jobs;
    std::vector<std::string> paths;
    for (const unsigned words : cases) {
        for (const char* run : {"a", "b"}) {
            paths.push_back(home.at("same-" + std::to_string(words) + run + ".png"));
            jobs.push_back(demoArguments(words, paths.back()));
        }
    }
    const std::vector<Outcome> outcomes = runAll(jobs, home.env());
    for (std::size_t i = 0; i < jobs.size(); i += 2) {
        SCOPED_TRACE(jobs[i].join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(outcomes[i].status, 0);
        EXPECT_EQ(outcomes[i + 1].status, 0);
        const std::string first = bytesOf(paths[i]);
        EXPECT_FALSE(first.empty());
        EXPECT_TRUE(first == bytesOf(paths[i + 1])) << "the two files differ";
    }
}

TEST(DemoWindow, TheStoredDeveloperModeChoosesTheLayoutAndChecksTheToggle) {
    const DemoHome home;
    const std::string byWord = home.at("word.png");
    const std::string stored = home.at("stored.png");
    EXPECT_EQ(runAll({demoArguments(developer, byWord)}, home.env())[0].status, 0);
    std::filesystem::create_directories(home.at("home/.config/Vantrel"));
    std::ofstream(home.at("home/.config/Vantrel/defaults.json")) << R"({"developerMode": true})";
    EXPECT_EQ(runAll({demoArguments(0, stored)}, home.env())[0].status, 0);

    const QImage wordImage(QString::fromStdString(byWord));
    const QImage storedImage(QString::fromStdString(stored));
    EXPECT_EQ(storedImage.width(), 460);
    EXPECT_EQ(storedImage.size(), wordImage.size());
    // The word alone leaves the "Developer mode" checkbox clear; the stored preference checks it.
    EXPECT_NE(storedImage, wordImage);
}

TEST(DemoWindow, AnUnwritablePathStillPrintsTheSizeLineAndFails) {
    const DemoHome home;
    const std::string path = home.at("missing/out.png");
    const std::vector<Outcome> outcomes = runAll({demoArguments(dark, path)}, home.env());
    EXPECT_EQ(outcomes[0].status, 1);
    const std::string& out = outcomes[0].out;
    const std::string start = path + " 380x";
    ASSERT_TRUE(out.starts_with(start) && out.ends_with("\n")) << out;
    const std::string height = out.substr(start.size(), out.size() - start.size() - 1);
    EXPECT_FALSE(height.empty());
    EXPECT_EQ(height.find_first_not_of("0123456789"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(DemoWindow, WithoutALowerCasePngPathItPrintsTheWindowAndStays) {
    const DemoHome home;
    const std::string path = home.at("capital.PNG");
    QProcess process;
    process.setProcessEnvironment(home.env());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral(VANTREL_BINARY), demoArguments(advisor, path));
    std::string out;
    while (out.find('\n') == std::string::npos && process.waitForReadyRead(20000)) {
        out += process.readAllStandardOutput().toStdString();
    }
    ASSERT_TRUE(out.ends_with("\n")) << out;
    const std::string id = out.substr(0, out.size() - 1);
    EXPECT_FALSE(id.empty());
    EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos) << "a window id: " << out;

    // Still there after the moment a PNG would have been written.
    EXPECT_FALSE(process.waitForFinished(1500));
    EXPECT_EQ(process.state(), QProcess::Running);
    EXPECT_FALSE(std::filesystem::exists(path));
    process.kill();
    process.waitForFinished();
}

} // namespace
} // namespace vantrel
