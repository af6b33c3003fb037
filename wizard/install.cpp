#include "wizard/install.h"

#include "wizard/images.h"
#include "wizard/polices.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

std::array<QString*, 21> EtatInstallation::EmplacementsF()
{
    return {&F1, &F2, &F3, &F4, &F5, &F6, &F7, &F8, &F9, &F10, &F11,
            &F12, &F13, &F14, &F15, &F16, &F17, &F18, &F19, &F20, &F21};
}

std::array<QString*, 8> EtatInstallation::EmplacementsFs()
{
    return {&Fs1, &Fs2, &Fs3, &Fs4, &Fs5, &Fs6, &Fs7, &Fs8};
}

namespace {

// Places a control at its design position, given in twips.
template <class W>
W* placer(W* w, int x, int y, int largeur, int hauteur)
{
    w->setGeometry(tw(x), tw(y), tw(largeur), tw(hauteur));
    return w;
}

void couleurTexte(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    pal.setColor(QPalette::Text, c);
    w->setPalette(pal);
}

// Labels of the copy: window-background colour behind window-text colour.
void fondFenetre(QLabel* l)
{
    QPalette pal = l->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::Text));
    l->setPalette(pal);
    l->setAutoFillBackground(true);
}

QLabel* etiquette(QWidget* parent, const QString& texte, int x, int y, int l, int h)
{
    auto* e = placer(new QLabel(texte, parent), x, y, l, h);
    e->setWordWrap(true);
    e->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return e;
}

}  // namespace

Install::Install(plateforme::Plateforme& p, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      P(p)
{
    construireFenetre();
    connecter();
}

void Install::construireFenetre()
{
    setObjectName("Install");
    setWindowTitle(QString::fromUtf8("Assistant d'installation"));
    setWindowIcon(IconeFenetre());
    // The design's sizes were made for a narrow 8-point face: Arial's metric
    // twin, carried in the program, keeps the captions inside their controls.
    setFont(PoliceArial(8));
    setFixedSize(tw(9450), tw(5265));

    // Navigation row and help button.
    Command2 = placer(new QPushButton(QString::fromUtf8("Voir le fichier d'aide"), this), 135, 4815, 2220, 390);
    BPréc = placer(new QPushButton(QString::fromUtf8("< &Précédent"), this), 2970, 4815, 1365, 390);
    BPréc->setEnabled(false);
    BSuiv = placer(new QPushButton(QString::fromUtf8(" &Suivant >"), this), 6120, 4830, 1365, 390);
    BSuiv->setEnabled(false);
    Annul = placer(new QPushButton(QString::fromUtf8("&Annuler"), this), 7980, 4830, 1365, 390);

    // Install page.
    FrameInstall = placer(new QGroupBox(QString::fromUtf8("Installation"), this), 2085, 135, 7335, 4575);
    FrameInstall->hide();
    Label1 = etiquette(FrameInstall, QString::fromUtf8("Emplacement de l'installation:"), 45, 255, 3885, 285);
    Drive1 = placer(new DriveListBox(P, FrameInstall), 60, 480, 885, 315);
    Drive1->view()->setMinimumWidth(tw(2400));
    Reper = placer(new QLineEdit(FrameInstall), 1110, 480, 2670, 315);
    // Up to the label that appears beside it, so that the caption is whole.
    CHIcones = placer(new QCheckBox(QString::fromUtf8("Installer les icônes"), FrameInstall), 3855, 510, 1740, 270);
    CHIcones->setChecked(true);
    LabI1 = etiquette(FrameInstall, QString::fromUtf8("Icônes installées !"), 5610, 540, 1680, 195);
    LabI1->setWordWrap(false);
    couleurTexte(LabI1, QColor(0, 0, 128));
    LabI1->hide();
    // Two lines need a little more than the design's height.
    ChDem = placer(new CaseACocher(QString::fromUtf8("Lancement automatique au démarrage de Windows"), FrameInstall),
                   3855, 765, 3390, 390);
    AllUSERs = placer(new QCheckBox(QString::fromUtf8("Accessible à tous les utilisateurs"), FrameInstall),
                      3855, 1170, 2835, 240);
    Label6 = etiquette(FrameInstall, QString(), 660, 1365, 1665, 315);
    Command1 = placer(new QToolButton(FrameInstall), 1695, 1755, 4065, 1500);
    Command1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Label7 = etiquette(FrameInstall, QString(), 2550, 3360, 2640, 255);
    Label7->setFont(PoliceArial(18, true));
    fondFenetre(Label7);
    Label7->hide();
    Lfic = etiquette(FrameInstall, QString(), 90, 3705, 7095, 255);
    Lfic->setFont(PoliceArial(9));
    Lfic->setWordWrap(false);
    fondFenetre(Lfic);
    Lfic->hide();
    PB = placer(new PictureBox(FrameInstall), 60, 4095, 7170, 345);
    PB->setBackColor(palette().color(QPalette::Base));
    PB->hide();

    // Uninstall page.
    FrameDésinst = placer(new QGroupBox(QString::fromUtf8("Désinstallation"), this), 2490, 180, 6300, 4290);
    FrameDésinst->hide();
    Command6 = placer(new BoutonMultiligne(QString::fromUtf8("Retirer les raccourcis"), FrameDésinst), 225, 660, 3480, 720);
    Command11 = placer(new BoutonMultiligne(QString::fromUtf8("Effacer les entrées dans la base de registre Windows"),
                                       FrameDésinst),
                       225, 1845, 3480, 720);
    Command11->setToolTip(QString::fromUtf8(
        "Efface toutes traces d'installation, Ne pas utiliser si vous compter ré-installer le cours sur cette "
        "machine ultérieurement."));
    File2 = placer(new FileListBox(P, FrameDésinst), 4590, 540, 1335, 1260);
    File2->hide();
    Image1 = placer(new CadreImage(FrameDésinst), 4710, 2340, 480, 480);
    Line1[0] = new Ligne(4680, 2865, 5250, 2325, Qt::red, 2, FrameDésinst);
    Line1[1] = new Ligne(4680, 2325, 5250, 2850, Qt::red, 2, FrameDésinst);
    Uninst = placer(new BoutonMultiligne(FrameDésinst), 225, 3210, 5880, 870);
    // The note would lie under the button; it stands in the free space
    // above it, where it can be read.
    Label3 = etiquette(FrameDésinst, QStringLiteral("  "), 225, 2595, 4350, 600);

    // Start page.
    FrameDépart = placer(new QGroupBox(this), 2925, 375, 5430, 3990);
    LabInfo = placer(new QLabel(QString::fromUtf8("Bienvenue dans le programme d'installation de "), FrameDépart),
                     810, 285, 3915, 1485);
    LabInfo->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    LabInfo->setWordWrap(true);
    LabInfo->setFont(PoliceArial(14.25, true, true));
    couleurTexte(LabInfo, QColor(0, 0, 192));
    Picture1 = placer(new PictureBox(FrameDépart), 2475, 1740, 615, 615);
    Label4 = etiquette(FrameDépart, QString::fromUtf8("Que désirez vous faire ?"), 480, 2535, 2790, 375);
    OptionDépart[1] = placer(
        new QRadioButton(QString::fromUtf8("Installer le programme et les fichiers nécessaires"), FrameDépart),
        480, 3135, 4545, 300);
    OptionDépart[2] = placer(new QRadioButton(QString::fromUtf8("Désinstaller le programme"), FrameDépart),
                             480, 3450, 2790, 300);

    // Final page, over everything.
    // The whole client area, so that nothing of the window shows around it.
    Picture2 = placer(new PictureBox(this), 0, 0, 9450, 5265);
    Picture2->hide();
    Label8 = etiquette(Picture2, QString(), 495, 225, 8400, 1590);
    Label9 = etiquette(Picture2, QString(), 495, 1890, 8400, 1110);
    for (QLabel* l : {Label8, Label9}) {
        l->setFont(PoliceArial(12));
        couleurTexte(l, Qt::white);
    }
    Command3 = placer(new QToolButton(Picture2), 3375, 3015, 2985, 1125);
    Command3->setText(QString::fromUtf8("Lancer..."));
    Command3->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    // The program buttons show the icon box's picture at its own size:
    // neither scaled nor blurred.
    for (QToolButton* b : {Command1, Command3}) b->setIconSize(Picture1->size());
    Command13 = placer(new QPushButton(QString::fromUtf8("Quitter..."), Picture2), 3375, 4230, 2985, 840);
    Command4 = placer(new BoutonMultiligne(QString::fromUtf8("@ propos de cet installateur."), Picture2),
                      8040, 4710, 1395, 480);
    Command4->setFont(PoliceArial(7));
    // The version would lie on the about button's caption: it stands just
    // above the button instead.
    Label2 = etiquette(Picture2, QStringLiteral("Label2"), 8715, 4485, 675, 210);
    couleurTexte(Label2, Qt::black);

    Image2 = placer(new QLabel(this), 180, 615, 1770, 3315);
    Image2->setPixmap(ImageCote(Image2->size(), devicePixelRatioF()));

    // Tab order follows the pages from top to bottom, then the navigation row.
    const QWidget* ordre[] = {OptionDépart[1], OptionDépart[2], Drive1, Reper, CHIcones, ChDem, AllUSERs,
                              Command1, Command6, Command11, Uninst, Command2, BPréc, BSuiv, Annul,
                              Command3, Command13, Command4};
    for (std::size_t i = 1; i < std::size(ordre); ++i)
        setTabOrder(const_cast<QWidget*>(ordre[i - 1]), const_cast<QWidget*>(ordre[i]));

    // Centred, and never with its title bar or its left edge off the screen.
    if (const QScreen* ecran = QGuiApplication::primaryScreen()) {
        const QRect dispo = ecran->availableGeometry();
        const QPoint centre = dispo.center() - rect().center();
        move(std::max(centre.x(), dispo.left() + 8), std::max(centre.y(), dispo.top() + 40));
    }
}

double Install::EchelleQuiTient() const
{
    const QScreen* ecran = QGuiApplication::primaryScreen();
    if (!ecran) return 1.0;
    // Room for a window manager's border and title bar.
    const QRect dispo = ecran->availableGeometry();
    const double k = std::min((dispo.width() - 16.0) / width(), (dispo.height() - 48.0) / height());
    return std::clamp(std::floor(k * 100) / 100, 0.25, 1.0);
}

void Install::connecter()
{
    auto relier = [this](QAbstractButton* b, void (Install::*gestionnaire)()) {
        connect(b, &QAbstractButton::clicked, this, [this, gestionnaire] { (this->*gestionnaire)(); });
    };
    relier(BSuiv, &Install::BSuiv_Click);
    relier(BPréc, &Install::BPréc_Click);
    relier(Annul, &Install::Annul_Click);
    relier(Command1, &Install::Command1_Click);
    relier(Command2, &Install::Command2_Click);
    relier(Command3, &Install::Command3_Click);
    relier(Command4, &Install::Command4_Click);
    relier(Command13, &Install::Command13_Click);
    relier(Command6, &Install::Command6_Click);
    relier(Command11, &Install::Command11_Click);
    relier(Uninst, &Install::Uninst_Click);
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
    for (std::int16_t i : {1, 2})
        connect(OptionDépart[i], &QAbstractButton::clicked, this, [this, i] { OptionDépart_Click(i); });
}

// While the final page is shown it covers everything else: what lies under
// it takes neither access keys nor the focus.
bool Install::sousPageFinale(const QWidget* w) const
{
    return w && w != Picture2 && !Picture2->isHidden() && !Picture2->isAncestorOf(w);
}

bool Install::eventFilter(QObject* objet, QEvent* evenement)
{
    auto* w = qobject_cast<QWidget*>(objet);
    if (evenement->type() == QEvent::Shortcut && sousPageFinale(w)) return true;
    // The focus left on a covered control (the button that showed the
    // page) goes to the page's first button, so that Space acts on what is
    // seen.
    if ((evenement->type() == QEvent::FocusIn && sousPageFinale(w)) ||
        (evenement->type() == QEvent::Show && w == Picture2 && sousPageFinale(focusWidget())))
        Command3->setFocus(Qt::OtherFocusReason);
    return QWidget::eventFilter(objet, evenement);
}

bool Install::focusNextPrevChild(bool suivant)
{
    if (Picture2->isHidden()) return QWidget::focusNextPrevChild(suivant);
    // Tab goes round the final page's own controls only.
    QWidget* depart = focusWidget() ? focusWidget() : Command3;
    QWidget* w = depart;
    do {
        w = suivant ? w->nextInFocusChain() : w->previousInFocusChain();
        if (Picture2->isAncestorOf(w) && w->isVisibleTo(this) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(suivant ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    } while (w != depart);
    return true;
}

void Install::closeEvent(QCloseEvent* e)
{
    // Closing the window ends the program at once, whatever is under way.
    e->ignore();
    P.Terminer();
}
