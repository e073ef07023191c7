#include "app/About.h"

// Qt
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace glimmora {

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Glimmora"));
    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/GLIMICON.png")));
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    auto* text = new QLabel(QStringLiteral("<h2>Glimmora %1</h2>"
                                           "<p>A picture scrapbook: your pictures stay where they are, "
                                           "Glimmora keeps their thumbnails, memos and categories.</p>")
                                .arg(QCoreApplication::applicationVersion()),
                            this);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(340, 220);
}

} // namespace glimmora
