#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <QWidget>

class APIClient;
class AppStore;
class QLabel;
class QLineEdit;
class QPushButton;

// When the login buttons may be pressed; lengths count user-perceived characters of the text as typed.
namespace LoginRules {
inline constexpr qsizetype phoneLength = 11;
inline constexpr qsizetype codeLength = 6;
bool canRequestCode(const QString &phone, bool busy);
bool canSignIn(const QString &phone, const QString &code, bool busy);
} // namespace LoginRules

// Sign-in by phone number and SMS code; a first sign-in registers with the given name.
class LoginView : public QWidget
{
    Q_OBJECT

public:
    LoginView(AppStore &store, APIClient &client, QWidget *parent = nullptr);

    bool isBusy() const { return m_busy; }
    bool codeSent() const { return m_sent; }

private:
    QCoro::Task<> requestCode();
    QCoro::Task<> signIn();
    void setBusy(bool busy);
    void updateControls();
    void updateError();

    AppStore &m_store;
    APIClient &m_client;
    bool m_sent = false;
    bool m_busy = false;

    QLineEdit *m_phone = nullptr;
    QLineEdit *m_code = nullptr;
    QLineEdit *m_name = nullptr;
    QPushButton *m_requestCode = nullptr;
    QPushButton *m_signIn = nullptr;
    QLabel *m_error = nullptr;
};
