#include "gui/settings/aboutbox.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "core/settings/appsettings.h"
#include "format/textcodec.h"
#include "gui/kit/uikit.h"
#include "gui/settings/imagecontrol.h"
#include "version.h"

namespace orm {

namespace {

const QColor kSilver(192, 192, 192);
constexpr QSize kButtonSize(75, 27);
constexpr QPoint kVersionAt(16, 110);

}  // namespace

QString VersionText()
{
    const QString version = QStringLiteral(ORMELIT_VERSION);
    return QStringLiteral("Версия: ") + (version.isEmpty() ? QStringLiteral(" ") : version);
}

AboutBox::AboutBox(const AppSettings& settings, Prompts& prompts, QWidget* parent)
    : QDialog(parent)
{
    SetFixedDialogFrame(this);
    setObjectName(QStringLiteral("TF_About"));
    setWindowTitle(QStringLiteral("О программе"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kSilver);
    setPalette(pal);
    setAutoFillBackground(true);

    Image2 = new TImage(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    PictureImage image;
    image.Size = kDesignedImageSize;
    // Without a picture the box still opens, with an empty picture area.
    LoadPictureInto(image, FromCp1251(settings.AboutPicture), QString(),
                    QStringLiteral("BMP_ABOUT"), settings.AboutPercent, prompts);
    Image2->SetImage(image);
    Image2->move(0, 0);

    ProductName = new QLabel(VersionText(), this);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    ProductName->setAttribute(Qt::WA_TranslucentBackground);
    ProductName->adjustSize();
    ProductName->move(kVersionAt);

    OKButton = new QPushButton(QStringLiteral("Да"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setFixedSize(kButtonSize);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    // At the picture's bottom-right corner; a picture smaller than the button still leaves the
    // whole button inside the box.
    OKButton->move(std::max(0, image.Size.width() - kButtonSize.width()),
                   std::max(0, image.Size.height() - kButtonSize.height()));
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    // The box takes the size of what it holds.
    const QRect contents = Image2->geometry().united(ProductName->geometry())
                               .united(OKButton->geometry());
    setFixedSize(contents.right() + 1, contents.bottom() + 1);
    OKButton->setFocus();
}

void AboutBox::reject()
{
    accept();  // Esc closes the box as OK does
}

void ShowAbout(const AppSettings& settings, Prompts& prompts, QWidget* parent)
{
    AboutBox box(settings, prompts, parent);
    CentreOnScreen(&box);
    box.exec();
}

}  // namespace orm
