#pragma once

#include <QObject>
#include <QUrl>

#include <functional>

class QLabel;

namespace kestrel::dialogs {

using UrlOpener = std::function<void(const QUrl&)>;

// Turns a label into a link: the hand pointer over it, and a left click opens
// the address with the opener (by default the desktop's handler). Failures to
// open are ignored.
class WebLink : public QObject {
    Q_OBJECT
public:
    WebLink(QLabel& label, const QUrl& address, UrlOpener opener = {});

    QUrl address() const { return m_address; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QUrl m_address;
    UrlOpener m_opener;
};

} // namespace kestrel::dialogs
