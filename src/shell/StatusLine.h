#pragma once

#include <QLabel>

namespace kestrel::shell {

// The one-line status text. A text wider than the line is elided in the middle,
// so that both the counts at its start and the size at its end stay in sight;
// the whole text is then the tooltip. text() is always the whole text.
class StatusLine : public QLabel {
public:
    explicit StatusLine(QWidget* parent = nullptr);

    // Whether the whole text fits the line as it is laid out now.
    bool showsWholeText() const;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kestrel::shell
