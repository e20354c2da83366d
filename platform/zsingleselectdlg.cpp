#include "zsingleselectdlg.h"

#include "dialogparts.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QStyle>
#include <QVBoxLayout>

#include <functional>

namespace {

// Enter on the list chooses the current row instead of reaching the
// dialog's default button.
class ChoiceList : public QListWidget
{
public:
    using QListWidget::QListWidget;
    std::function<void(int)> onChoose;

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && currentRow() >= 0) {
            onChoose(currentRow());
            return;
        }
        QListWidget::keyPressEvent(e);
    }
};

} // namespace

ZSingleSelectDlg::ZSingleSelectDlg(const QString &title, const QString &text, QWidget *parent,
                                   const char *name, bool modal, int flags, int type)
    : QDialog(parent)
{
    Q_UNUSED(flags);
    Q_UNUSED(type);
    titleLabel = setUpDialog(this, title, name, modal);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(titleLabel);
    if (!text.isEmpty()) {
        auto *note = new QLabel(text, this);
        note->setTextFormat(Qt::PlainText);
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    auto *list = new ChoiceList(this);
    list->onChoose = [this](int row) { choose(row); };
    choices = list;
    choices->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(choices, 1);
    connect(choices, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { choose(choices->row(item)); });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    choices->setFocus();
    // No wider than the window it belongs to.
    setFixedWidth(ownerWidth(parent));
}

ZSingleSelectDlg::~ZSingleSelectDlg() = default;

void ZSingleSelectDlg::addItemsList(const QStringList &items)
{
    // A choice too long for the dialog ends in an ellipsis; the list never
    // scrolls sideways.
    const int room = width() - 2 * layout()->contentsMargins().left() - 2 * choices->frameWidth()
        - choices->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, choices) - 16;
    for (const QString &text : items) {
        texts << text;
        auto *item = new QListWidgetItem(
            choices->fontMetrics().elidedText(text, Qt::ElideRight, qMax(0, room)), choices);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    if (choices->count() > 0 && choices->currentRow() < 0)
        choices->setCurrentRow(0);
    // Just tall enough for its rows, and no taller than 200 pixels.
    const int rows = choices->count() > 0 ? choices->sizeHintForRow(0) * choices->count() : 0;
    choices->setFixedHeight(qMin(rows + 2 * choices->frameWidth(), 200));
    adjustSize();
}

QStringList ZSingleSelectDlg::itemsList() const
{
    return texts;
}

QString ZSingleSelectDlg::title() const
{
    return titleLabel->fullText();
}

int ZSingleSelectDlg::getCheckedItemIndex() const
{
    return checked;
}

// Only ever called with a row of the list: the current one or the one clicked.
void ZSingleSelectDlg::choose(int row)
{
    for (int i = 0; i < choices->count(); ++i)
        choices->item(i)->setCheckState(i == row ? Qt::Checked : Qt::Unchecked);
    checked = row;
    accept();
}

void ZSingleSelectDlg::done(int result)
{
    QDialog::done(result);
    returnFocusToOwner(this);
}
