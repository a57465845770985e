// "Hold new devices while locked": while this session is locked, USBGuard's InsertedDevicePolicy
// is block; the value it had is put back at unlock, at quit and, after a crash, at the next start.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QDBusServiceWatcher;

namespace vantrel {

class LockHold final : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* parameter = "InsertedDevicePolicy";
    static constexpr const char* action = "org.usbguard1.setParameter";
    // How long a bus call may take, and one at quit (the put-back makes two).
    static constexpr int timeoutMs = 3000;
    static constexpr int quitTimeoutMs = 1000;
    // The largest marker file read: anything larger is no marker of ours.
    static constexpr std::size_t markerLimit = 4096;

    // `bus` is the system bus (or a test's own). `marker` is where the value to put back is kept
    // while devices are held; a marker found there at start is put back at once. `changed` is
    // called on the main thread when holding(), mayHold() or locked() changes.
    LockHold(QDBusConnection bus, std::filesystem::path marker, std::function<void()> changed,
             QObject* parent = nullptr);
    // Puts back the remembered value, waiting for the daemon at most 2 s.
    ~LockHold() override;
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;

    // Whether polkit lets this user set USBGuard's parameters without a password prompt: asked at
    // start and whenever USBGuard's bus name appears. Cheap; false until polkit has answered.
    bool mayHold() const { return mayHold_; }
    // Whether this session is locked, as the login manager says; false without one.
    bool locked() const { return locked_; }
    // The switch. Off until turned on.
    void setOn(bool on);
    // Whether new devices are held because the switch is on, the session is locked and USBGuard
    // took block (and nobody has changed it since).
    bool holding() const { return on_ && locked_ && applied_; }

    // The value a marker's bytes ask to put back: one of USBGuard's values of the parameter, or
    // none for any other content.
    static std::optional<std::string> rememberedIn(std::string_view bytes);

  private slots:
    void sessionPropertiesChanged(const QString& interface, const QVariantMap& changedProperties,
                                  const QStringList& invalidated);
    void parameterChanged(const QString& name, const QString& previous, const QString& value);

  private:
    using Reply = std::function<void(const QDBusMessage&)>;

    void call(const QDBusMessage& message, Reply reply);
    void askPolkit();
    void findSession(bool byId);
    void followSession(const QString& path);
    void readLocked();
    void setLocked(bool locked);

    void reconcile();
    void apply();
    void setBlock();
    void restore();
    void finished(bool ok);
    void forget();
    bool restoreNow();
    void notify();

    QDBusMessage usbGuard(const char* member, const QVariantList& arguments) const;

    QDBusConnection bus_;
    std::filesystem::path marker_;
    std::function<void()> changed_;
    QDBusServiceWatcher* watcher_ = nullptr;

    bool mayHold_ = false;
    bool on_ = false;
    bool locked_ = false;
    // The session lookup has answered (or failed): until then nothing is set or put back.
    bool sessionKnown_ = false;
    QString sessionPath_;
    // USBGuard took block from us and still has it.
    bool applied_ = false;
    // Somebody else changed the parameter while we held: not set again until the next lock.
    bool overridden_ = false;
    // The value to put back, as in the marker file.
    std::optional<std::string> remembered_;
    // One change of the parameter at a time.
    bool busy_ = false;
    // The last change failed while wanting this: not tried again until the wish or the daemon
    // changes.
    std::optional<bool> failedWanting_;
    bool reported_ = false;
    bool reportedMay_ = false;
    bool reportedLocked_ = false;
};

} // namespace vantrel
