#include "gui/settings/settingsdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include "core/prompts/prompts.h"
#include "core/settings/appsettings.h"
#include "core/settings/profile.h"
#include "format/textcodec.h"
#include "gui/kit/appcontext.h"
#include "gui/kit/mainhub.h"
#include "gui/kit/tf_base.h"
#include "gui/kit/uikit.h"

namespace orm {

namespace {

std::optional<QFont> platformFontDialog(const QFont& initial, QWidget* parent)
{
    QFontDialog dialog(initial, parent);
    PrepareFontDialog(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedFont();
}

}  // namespace

void PrepareFontDialog(QFontDialog& dialog)
{
    dialog.setWindowTitle(QStringLiteral("Шрифт"));
    dialog.setOptions(QFontDialog::ScalableFonts | QFontDialog::DontUseNativeDialog);
    // Only the face and the size are kept: the style list and the effects, which would be
    // dropped silently, are not offered. Qt's dialog has them in the middle column of its grid
    // and in a group box of check boxes.
    QListView* styles = nullptr;
    if (auto* grid = dialog.findChild<QGridLayout*>()) {
        for (int row = 0; row < 3; ++row) {
            if (QLayoutItem* item = grid->itemAtPosition(row, 2); item && item->widget()) {
                item->widget()->hide();
                if (auto* list = qobject_cast<QListView*>(item->widget()))
                    styles = list;
            }
        }
    }
    for (QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
        if (!box->findChildren<QCheckBox*>().isEmpty())
            box->hide();
    }
    // Faces that can write the program's texts.
    const QFont asked = dialog.currentFont();
    if (auto* scripts = dialog.findChild<QComboBox*>()) {
        const int cyrillic = scripts->findText(QFontDatabase::writingSystemName(
            QFontDatabase::Cyrillic));
        if (cyrillic >= 0)
            scripts->setCurrentIndex(cyrillic);
    }
    dialog.setCurrentFont(asked);
    // Every face shows in its plain style, the one that is kept: upright, weight nearest normal.
    if (styles && styles->model()) {
        auto pickPlain = [&dialog, styles] {
            const QString family = dialog.currentFont().family();
            QAbstractItemModel* model = styles->model();
            int best = -1;
            int bestDistance = 0;
            for (int row = 0; row < model->rowCount(); ++row) {
                const QString style = model->index(row, 0).data().toString();
                // Oblique faces do not always count as italic with the font database.
                if (QFontDatabase::italic(family, style) ||
                    style.contains(QLatin1String("Italic"), Qt::CaseInsensitive) ||
                    style.contains(QLatin1String("Oblique"), Qt::CaseInsensitive))
                    continue;
                // Nearest to normal weight; of equals, the shortest name ("Book" before
                // "Condensed").
                const int distance =
                    std::abs(QFontDatabase::weight(family, style) - QFont::Normal) * 1000 +
                    int(style.size());
                if (best < 0 || distance < bestDistance) {
                    best = row;
                    bestDistance = distance;
                }
            }
            if (best >= 0 && styles->currentIndex().row() != best)
                styles->setCurrentIndex(model->index(best, 0));
        };
        pickPlain();
        QObject::connect(&dialog, &QFontDialog::currentFontChanged, styles, pickPlain);
    }
    for (QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
        if (auto* sample = box->findChild<QLineEdit*>()) {
            sample->setText(QStringLiteral("АаБбВв ЭэЮюЯя 123"));
            // Room for the sample at large sizes too, with the effects box gone beside it.
            sample->setMinimumHeight(3 * sample->fontMetrics().height());
        }
    }
}

SettingsDialog::SettingsDialog(AppSettings& settings, FontSpec& font, Prompts& prompts,
                               QWidget* parent, TProfile* profile)
    : QDialog(parent),
      m_settings(settings),
      m_font(font),
      m_prompts(prompts),
      m_profile(profile),
      m_chooseFont(platformFontDialog)
{
    setObjectName(QStringLiteral("TF_SETUP"));
    setWindowTitle(QStringLiteral("Установки"));
    SetFixedDialogFrame(this);
    setFont(SharedQFont(font));
    setFixedSize(473, 287);

    GroupBoxFont = new QGroupBox(QStringLiteral("Шрифт"), this);
    GroupBoxFont->setGeometry(8, 6, 457, 82);
    Label1 = new QLabel(QStringLiteral("Название"), GroupBoxFont);
    Label1->setGeometry(12, 22, 120, 20);
    EditFontName = new QLineEdit(GroupBoxFont);
    EditFontName->setObjectName(QStringLiteral("EditFontName"));
    EditFontName->setGeometry(12, 44, 250, 26);
    Label2 = new QLabel(QStringLiteral("Размер"), GroupBoxFont);
    Label2->setGeometry(274, 22, 70, 20);
    EditFontSize = new QLineEdit(GroupBoxFont);
    EditFontSize->setObjectName(QStringLiteral("EditFontSize"));
    EditFontSize->setGeometry(274, 44, 60, 26);
    B_SelectFont = new QPushButton(QStringLiteral("Выбрать"), GroupBoxFont);
    B_SelectFont->setObjectName(QStringLiteral("B_SelectFont"));
    B_SelectFont->setGeometry(350, 44, 95, 27);
    Label1->setBuddy(EditFontName);
    Label2->setBuddy(EditFontSize);

    GroupBoxBind = new QGroupBox(QStringLiteral("Проекции"), this);
    GroupBoxBind->setGeometry(8, 94, 457, 74);
    CheckGridUseHint = new QCheckBox(QStringLiteral("Использовать подсказки"), GroupBoxBind);
    CheckGridUseHint->setObjectName(QStringLiteral("CheckGridUseHint"));
    CheckGridUseHint->setGeometry(12, 22, 430, 22);
    CheckGridSelectUnbind =
        new QCheckBox(QStringLiteral("Выделять незадействованные элементы"), GroupBoxBind);
    CheckGridSelectUnbind->setObjectName(QStringLiteral("CheckGridSelectUnbind"));
    CheckGridSelectUnbind->setGeometry(12, 46, 430, 22);

    GroupBoxFile = new QGroupBox(QStringLiteral("Отчеты"), this);
    GroupBoxFile->setGeometry(8, 174, 457, 68);
    Label3 = new QLabel(QStringLiteral("Формат"), GroupBoxFile);
    Label3->setGeometry(12, 28, 60, 22);
    EditFileFormat = new QComboBox(GroupBoxFile);
    EditFileFormat->setObjectName(QStringLiteral("EditFileFormat"));
    EditFileFormat->addItems({QStringLiteral("TXT"), QStringLiteral("RTF")});
    EditFileFormat->setGeometry(76, 26, 90, 26);
    Label3->setBuddy(EditFileFormat);
    CheckRepUseInform = new QCheckBox(QStringLiteral("Использовать справку"), GroupBoxFile);
    CheckRepUseInform->setObjectName(QStringLiteral("CheckRepUseInform"));
    CheckRepUseInform->setGeometry(190, 28, 255, 22);

    OKBtn = new QPushButton(QStringLiteral("Да"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(298, 252, 80, 27);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Отказ"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(385, 252, 80, 27);

    connect(B_SelectFont, &QPushButton::clicked, this, &SettingsDialog::B_SelectFontClick);
    connect(OKBtn, &QPushButton::clicked, this, &SettingsDialog::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    // The face is stored in Windows-1251: show at once what the file will hold.
    connect(EditFontName, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString stored = Cp1251Representable(text);
        if (stored != text) {
            const int cursor = EditFontName->cursorPosition();
            EditFontName->setText(stored);
            EditFontName->setCursorPosition(cursor);
        }
    });
    FormCreate();
    CentreOnScreen(this);
}

void SettingsDialog::FormCreate()
{
    CheckGridUseHint->setChecked(m_settings.GridUseHint);
    CheckGridSelectUnbind->setChecked(m_settings.GridSelectUnbind);
    CheckRepUseInform->setChecked(m_settings.ReportUseInformation);
    EditFontName->setText(FromCp1251(m_font.Face));
    EditFontSize->setText(QString::number(m_font.Size));
    EditFileFormat->setCurrentIndex(m_settings.ReportRtf ? 1 : 0);
}

void SettingsDialog::B_SelectFontClick()
{
    const QString sizeText = EditFontSize->text();
    const std::optional<int> size = ParseDecimalInt(ToCp1251(sizeText));
    if (!size) {
        m_prompts.Inform(ToCp1251(QStringLiteral("«%1» не является целым числом").arg(sizeText)));
        return;
    }
    FontSpec preset{ToCp1251(EditFontName->text()), *size};
    const std::optional<QFont> chosen = m_chooseFont(SharedQFont(preset), this);
    if (!chosen)
        return;
    EditFontName->setText(Cp1251Representable(chosen->family()));
    EditFontSize->setText(QString::number(chosen->pointSize()));
}

void SettingsDialog::OKBtnClick()
{
    const DialogSettings shown = DialogSettings::Of(m_settings, m_font);
    m_settings.GridUseHint = CheckGridUseHint->isChecked();
    m_settings.GridSelectUnbind = CheckGridSelectUnbind->isChecked();
    m_settings.ReportUseInformation = CheckRepUseInform->isChecked();
    if (!EditFontName->text().isEmpty())
        m_font.Face = ToCp1251(EditFontName->text());
    const int size = ParseDecimalInt(ToCp1251(EditFontSize->text())).value_or(0);
    if (size > 0)
        m_font.Size = size;
    m_settings.ReportRtf = EditFileFormat->currentIndex() == 1;
    const bool saved = m_profile ? SaveSettings(m_settings, m_font, shown, *m_profile)
                                 : SaveSettings(m_settings, m_font, shown);
    // The changes stay in force for this run either way; only the next start would lose them.
    const std::string& target = SettingsWriteFileName(m_settings);
    if (!saved && !target.empty())
        m_prompts.Inform(ToCp1251(QStringLiteral("Не удалось сохранить установки в файл «%1».")
                                      .arg(QFile::decodeName(target.c_str()))));
    accept();
}

bool ShowSettingsDialog(MainHub& hub, SettingsDialog::FontChooser chooser)
{
    AppContext& context = hub.Context();
    bool confirmed = false;
    {
        SettingsDialog dialog(context.Settings, context.SharedFont, hub.prompts(), hub.HubWidget());
        if (chooser)
            dialog.SetFontChooser(std::move(chooser));
        confirmed = dialog.exec() == QDialog::Accepted;
    }
    hub.RepaintProjections(true);
    return confirmed;
}

}  // namespace orm
