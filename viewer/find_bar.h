// The find bar at the foot of the window: the text to find, Previous and
// Next, "Match case", and a line that says how the last search went.
// Escape closes it; it blocks nothing.
#pragma once

#include <QToolBar>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tw {

class FindBar : public QToolBar {
    Q_OBJECT
public:
    explicit FindBar(QWidget* parent);

    QString Text() const;
    void SetText(const QString& text);
    bool MatchCase() const;
    void SetMatchCase(bool on);
    QString Status() const;
    void SetStatus(const QString& text);
    // Puts the cursor in the text box with its text selected.
    void FocusText();

    QLineEdit* TextBox() const { return text_; }

signals:
    void findRequested(bool forward);
    void closeRequested();

private:
    QLineEdit* text_;
    QCheckBox* matchCase_;
    QLabel* status_;
};

}  // namespace tw
