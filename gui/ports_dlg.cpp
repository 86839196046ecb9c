#include "ports_dlg.h"

#include <QApplication>
#include <QEvent>
#include <QListWidget>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QTextOption>
#include <algorithm>

#include "dialog_look.h"
#include "ip_address_edit.h"
#include "messages.h"
#include "qt_frontend.h"
#include "ui_ports_dlg.h"
#include "value_checks.h"

namespace cofralin {

namespace {

// The lists' default tab stops: every 32 horizontal dialog units.
constexpr int kListTabStop = 32;
constexpr int kStatusId = 1023;

// Draws an entry with its tabs expanded at the lists' tab stops; the entry's
// text keeps the tabs, which the delete needs to find the public port.
class TabStopDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const QString text = item.text;
        item.text.clear();
        const QWidget* widget = item.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRectF area = item.rect.adjusted(margin, 0, -margin, 0);
        QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
        layout.setWrapMode(QTextOption::NoWrap);
        layout.setTabStopDistance(DialogUnits(item.font).across(kListTabStop));
        painter->save();
        painter->setFont(item.font);
        const bool selected = item.state.testFlag(QStyle::State_Selected);
        painter->setPen(item.palette.color(
            item.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled,
            selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(area, text, layout);
        painter->restore();
    }
};

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// What the edits hold, as router bytes.
std::string toRouterBytes(const QString& text) { return Utf8ToWindows1252(text.toStdString()); }

// Clearing a selection from the program is not a selection change.
void clearSelection(QListWidget* list) {
    const QSignalBlocker quiet(list);
    list->clearSelection();
    list->setCurrentItem(nullptr);
}

}  // namespace

WrappingPushButton::WrappingPushButton(QWidget* parent) : QPushButton(parent) {}

QSize WrappingPushButton::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (const QString& word : text().split(u' ', Qt::SkipEmptyParts)) {
        widest = std::max(widest, metrics.horizontalAdvance(word));
    }
    const QRect lines = metrics.boundingRect(QRect(0, 0, widest, 100000),
                                             Qt::AlignCenter | Qt::TextWordWrap, text());
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_PushButton, &option, lines.size(), this);
}

void WrappingPushButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Normal : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, caption);
}

CPortsDlg::CPortsDlg(RouterSession& session, QWidget* parent)
    : RouterDialog(session, parent, Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint,
                   kStatusId) {
    udpList_ = ui_->idc_1025;
    tcpList_ = ui_->idc_1026;
    deleteButton_ = ui_->idc_3;
    publicPort_ = ui_->idc_1018;
    privatePort_ = ui_->idc_1019;
    privateAddress_ = ui_->idc_1020;
    udpRadio_ = ui_->idc_1021;
    tcpRadio_ = ui_->idc_1022;

    // The group boxes only frame their controls; they must not lie over them.
    ui_->idc_1028->lower();
    ui_->idc_1027->lower();
    ui_->trafficTypeFrame->lower();

    for (QLineEdit* port : {publicPort_, privatePort_}) {
        port->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port));
        port->installEventFilter(this);
    }
    for (QListWidget* entries : {udpList_, tcpList_}) {
        entries->setItemDelegate(new TabStopDelegate(entries));
        connect(entries, &QListWidget::itemSelectionChanged, this,
                [this] { deleteButton_->setEnabled(true); });
    }
    connect(privateAddress_, &IpAddressEdit::fieldChanged, this,
            [this] { texts_.PrivateAddressText = toRouterBytes(privateAddress_->text()); });
    connect(udpRadio_, &QRadioButton::clicked, this,
            [this] { onTrafficTypeClicked(udpList_, tcpList_); });
    connect(tcpRadio_, &QRadioButton::clicked, this,
            [this] { onTrafficTypeClicked(tcpList_, udpList_); });
    connect(ui_->idc_1, &QPushButton::clicked, this, &CPortsDlg::accept);
    connect(ui_->idc_2, &QPushButton::clicked, this, &QDialog::reject);
    connect(deleteButton_, &QPushButton::clicked, this, &CPortsDlg::onDeleteClicked);
    ui_->idc_2->setFocus();
}

CPortsDlg::~CPortsDlg() = default;

void CPortsDlg::initialise() {
    texts_ = PortMappingTexts{};
    privateAddress_->setText(fromUtf8(std::string(kNoPrivateAddress)));
    RefreshMappings(session_, *frontend_, this);
}

int CPortsDlg::exec() {
    // The wait cursor while the opening reads the tables; the dialog itself
    // is used with the arrow.
    frontend_->busy(true);
    initialise();
    frontend_->busy(false);
    return QDialog::exec();
}

bool CPortsDlg::eventFilter(QObject* watched, QEvent* event) {
    const bool publicPort = watched == publicPort_;
    if (publicPort || watched == privatePort_) {
        if (event->type() == QEvent::FocusIn) {
            startNewEntry();
        } else if (event->type() == QEvent::FocusOut) {
            const std::string text = toRouterBytes(static_cast<QLineEdit*>(watched)->text());
            (publicPort ? texts_.PublicPortText : texts_.PrivatePortText) = text;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CPortsDlg::onTrafficTypeClicked(QListWidget* shown, QListWidget* hidden) {
    shown->show();
    clearSelection(shown);
    hidden->hide();
    deleteButton_->setEnabled(false);
    for (QWidget* input : std::initializer_list<QWidget*>{
             publicPort_, privatePort_, privateAddress_, ui_->idc_1027, ui_->idc_1028,
             ui_->idc_1029, ui_->idc_1030, ui_->idc_1031}) {
        input->setEnabled(true);
    }
}

void CPortsDlg::startNewEntry() {
    deleteButton_->setEnabled(false);
    ui_->idc_1->setEnabled(true);
    clearSelection(udpList_);
    clearSelection(tcpList_);
}

TrafficType CPortsDlg::checkedTrafficType() const {
    if (tcpRadio_->isChecked()) return TrafficType::Tcp;
    return udpRadio_->isChecked() ? TrafficType::Udp : TrafficType::None;
}

QWidget& CPortsDlg::fieldOf(ValueField field) const {
    if (field == ValueField::PublicPort) return *publicPort_;
    if (field == ValueField::PrivatePort) return *privatePort_;
    return *privateAddress_;
}

void CPortsDlg::accept() {
    // A refused value is corrected in place; nothing is asked or sent.
    if (const std::optional<RefusedValue> refused = CheckMappingValues(
            texts_.PublicPortText, texts_.PrivatePortText, texts_.PrivateAddressText)) {
        frontend_->tell({refused->message, std::string(kErrorCaption), MessageSeverity::Failure});
        MarkRefusedField(fieldOf(refused->field));
        return;
    }
    AddMapping(session_, *frontend_, checkedTrafficType(), texts_, this);
}

void CPortsDlg::onDeleteClicked() {
    const TrafficType type = checkedTrafficType();
    if (type == TrafficType::None) return;
    const QList<QListWidgetItem*> selected =
        (type == TrafficType::Tcp ? tcpList_ : udpList_)->selectedItems();
    // Deselecting an entry also reports a selection change; with nothing
    // selected there is nothing to delete.
    if (selected.isEmpty()) return;
    const std::string entry = selected.front()->data(Qt::UserRole).toByteArray().toStdString();
    DeleteMapping(session_, *frontend_, type, MappingPortText(entry), this);
}

void CPortsDlg::mappingsCleared() {
    for (QListWidget* entries : {udpList_, tcpList_}) {
        const QSignalBlocker quiet(entries);
        entries->clear();
    }
    deleteButton_->setEnabled(false);
}

void CPortsDlg::mappingsListed(const MappingTables& tables) {
    for (const auto& [entries, table] :
         {std::pair{udpList_, &tables.udp}, std::pair{tcpList_, &tables.tcp}}) {
        const QSignalBlocker quiet(entries);
        for (const std::string& entry : *table) {
            // Shown decoded, kept as the router's bytes for the delete.
            auto* item = new QListWidgetItem(fromUtf8(Windows1252ToUtf8(entry)));
            item->setData(Qt::UserRole,
                          QByteArray(entry.data(), static_cast<qsizetype>(entry.size())));
            entries->addItem(item);
        }
    }
}

}  // namespace cofralin
