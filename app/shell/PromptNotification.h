// The prompt's question as a desktop notification with "Allow" and "Don’t Allow", posted where
// the notification service offers actions; an action answers the prompt as the panel's buttons do.
#pragma once

#include "app/engine/Seams.h"
#include "app/ui/AdvisorWindowController.h"

#include <cstdint>
#include <optional>

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QObject>
#include <QString>

namespace vantrel {

class PromptNotification final : public QObject, public AdvisorPanel {
    Q_OBJECT

  public:
    // The action keys of the two answers.
    static constexpr const char* allowKey = "allow";
    static constexpr const char* refuseKey = "refuse";
    static constexpr const char* summary = "Vantrel: allow this device?";
    // How long the server may take to answer a call.
    static constexpr int timeoutMs = 3000;

    // `clock` gives the time the score is computed for; it must outlive this object.
    PromptNotification(QDBusConnection bus, const Clock& clock, QObject* parent = nullptr);
    // Closes the notification up (waiting for the id of one being posted at most `timeoutMs`):
    // its answers would reach nobody.
    ~PromptNotification() override;
    PromptNotification(const PromptNotification&) = delete;
    PromptNotification& operator=(const PromptNotification&) = delete;

    // How the prompt is answered; the notification is up only while `available` says so.
    void setAnswers(ui::AdvisorWindowController::Answers answers);
    // Posts, withdraws or leaves the notification as the answers' availability says now.
    void updateAnswers() { update(); }
    // While the session is locked nothing is posted (one already up is closed) and an action
    // invoked is ignored; at unlock an open prompt is posted again.
    void setLocked(bool locked);

    // Posts the question, or replaces the one up; closes it when the prompt goes away.
    void show(const TrustRequest& request) override;
    void hide() override;

    // "{name} on {port}. Trust score {score}: {title}. {advice}", as notification markup that
    // shows a device's name literally.
    static QString body(const TrustRequest& request, Timestamp now);

  private slots:
    void actionInvoked(uint id, const QString& key);
    void notificationClosed(uint id, uint reason);

  private:
    void update();
    void askCapabilities();
    void post(const QString& text);
    void withdraw();
    void serverChanged();

    QDBusConnection bus_;
    const Clock& clock_;
    ui::AdvisorWindowController::Answers answers_;
    std::optional<TrustRequest> request_;
    bool locked_ = false;
    // Whether the server lists "actions"; unknown until it answered. Asked once per server.
    std::optional<bool> actions_;
    bool asking_ = false;
    // Answers from a server that has since gone are dropped.
    std::uint64_t server_ = 0;
    // The notification up (0: none), and the body it was posted with: a body posted once is not
    // posted again while it stays the same, even when the user dismissed it.
    uint id_ = 0;
    QString posted_;
    // The Notify call under way; changes meanwhile are applied when it answers.
    std::optional<QDBusPendingCall> posting_;
    bool again_ = false;
};

} // namespace vantrel
