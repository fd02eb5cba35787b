#include "ui/info/tfuhelp.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QVBoxLayout>

// The help text is a resource of this static library: it must be pulled in by name, and
// Q_INIT_RESOURCE must be used outside any namespace.
static void initInfoResources() { Q_INIT_RESOURCE(info); }

namespace sayvell::ui {

QString helpText() {
    initInfoResources();
    QFile f(QStringLiteral(":/help/help.txt"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TFuhelp::TFuhelp(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("TFuhelp"));
    setWindowTitle(QStringLiteral("使用幫助"));
    resize(870, 480);
    fuhelp = new QPlainTextEdit(this);
    fuhelp->setObjectName(QStringLiteral("fuhelp"));
    fuhelp->setAccessibleName(QStringLiteral("使用幫助"));
    fuhelp->setReadOnly(true);
    fuhelp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font = fuhelp->font();
    font.setPixelSize(16);
    fuhelp->setFont(font);
    fuhelp->setPlainText(helpText());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(fuhelp);
}

}  // namespace sayvell::ui
