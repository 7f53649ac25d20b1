#include "viewer/find_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>

namespace tw {

namespace {

// Enter finds on, Shift+Enter back.
class FindTextBox : public QLineEdit {
public:
    FindTextBox(QWidget* parent, FindBar& bar) : QLineEdit(parent), bar_(bar) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            emit bar_.findRequested(!(e->modifiers() & Qt::ShiftModifier));
            return;
        }
        QLineEdit::keyPressEvent(e);
    }

private:
    FindBar& bar_;
};

}  // namespace

FindBar::FindBar(QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("findBar"));
    setMovable(false);
    setFloatable(false);
    toggleViewAction()->setVisible(false);
    addWidget(new QLabel(QStringLiteral("Find: "), this));
    text_ = new FindTextBox(this, *this);
    text_->setObjectName(QStringLiteral("findText"));
    text_->setClearButtonEnabled(true);
    text_->setMinimumWidth(180);
    addWidget(text_);
    addAction(QStringLiteral("Previous"), this, [this] { emit findRequested(false); });
    addAction(QStringLiteral("Next"), this, [this] { emit findRequested(true); });
    matchCase_ = new QCheckBox(QStringLiteral("Match case"), this);
    addWidget(matchCase_);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("findStatus"));
    status_->setContentsMargins(12, 0, 0, 0);
    addWidget(status_);
    auto* spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    addWidget(spacer);
    addAction(QStringLiteral("Close"), this, [this] { emit closeRequested(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, [this] { emit closeRequested(); });
}

QString FindBar::Text() const { return text_->text(); }
void FindBar::SetText(const QString& text) { text_->setText(text); }
bool FindBar::MatchCase() const { return matchCase_->isChecked(); }
void FindBar::SetMatchCase(bool on) { matchCase_->setChecked(on); }
QString FindBar::Status() const { return status_->text(); }
void FindBar::SetStatus(const QString& text) { status_->setText(text); }

void FindBar::FocusText() {
    text_->setFocus();
    text_->selectAll();
}

}  // namespace tw
