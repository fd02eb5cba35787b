#include "ui/info/tf_about.h"

#include "about_links.h"
#include "store/app_paths.h"
#include "ui/common/dialogs.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace sayvell::ui {

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void ClickLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

QUrl Tf_about::mailUrl() { return QUrl(QStringLiteral("mailto:") + QStringLiteral(SAYVELL_CONTACT_MAIL)); }

QUrl Tf_about::homeUrl() { return QUrl(QStringLiteral(SAYVELL_HOME_PAGE)); }

Tf_about::Tf_about(Dialogs& dialogs, QWidget* parent, std::optional<info::MemoryStatus> memory)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      dialogs_(dialogs), openUrl_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setObjectName(QStringLiteral("Tf_about"));
    setWindowTitle(QStringLiteral("Sayvell"));
    setFixedSize(351, 254);

    // Once, at creation: the figures describe the moment the program started.
    const info::MemoryStatus status = memory ? *memory : info::systemMemory();

    Label1 = new QLabel(QStringLiteral("SayvellV2.60"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont big = Label1->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    Label1->setFont(big);

    auto* Label3 = new QLabel(QStringLiteral("物理內存:"), this);
    PhysMem = new QLabel(info::physMemText(status.totalBytes), this);
    PhysMem->setObjectName(QStringLiteral("PhysMem"));
    auto* Label4 = new QLabel(QStringLiteral("使用內存:"), this);
    FreeRes = new QLabel(info::memoryLoadText(status.loadPercent), this);
    FreeRes->setObjectName(QStringLiteral("FreeRes"));
    auto* Label2 = new QLabel(QStringLiteral("業務聯系："), this);
    const QUrl mail = mailUrl();
    Label6 = new ClickLabel(mail.path(), this);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setToolTip(mail.toString());
    Label7 = new ClickLabel(QStringLiteral("Sayvell主頁"), this);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setToolTip(homeUrl().toString());
    Label8 = new ClickLabel(QStringLiteral("聲音效果 ( 男女音 )"), this);
    Label8->setObjectName(QStringLiteral("Label8"));
    connect(Label6, &ClickLabel::clicked, this, &Tf_about::Label6Click);
    connect(Label7, &ClickLabel::clicked, this, &Tf_about::Label7Click);
    connect(Label8, &ClickLabel::clicked, this, &Tf_about::Label8Click);

    auto* Bevel1 = new QFrame(this);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);

    auto* grid = new QGridLayout;
    grid->addWidget(Label3, 0, 0);
    grid->addWidget(PhysMem, 0, 1);
    grid->addWidget(Label4, 1, 0);
    grid->addWidget(FreeRes, 1, 1);
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(Label6, 2, 1);
    grid->setColumnStretch(1, 1);
    auto* links = new QHBoxLayout;
    links->addWidget(Label7);
    links->addStretch();
    links->addWidget(Label8);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1, 0, Qt::AlignCenter);
    layout->addWidget(Bevel1);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(links);
}

void Tf_about::Label6Click() { openUrl_(mailUrl()); }

void Tf_about::Label7Click() { openUrl_(homeUrl()); }

void Tf_about::Label8Click() {
    const QString path = store::deliveredFile(QStringLiteral("introduce.mp3"));
    if (!QFileInfo(path).isFile() || !player_) return;
    QString error;
    if (!player_(path, &error)) dialogs_.error(error);
}

}  // namespace sayvell::ui
