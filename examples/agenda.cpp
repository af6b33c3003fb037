// The sample program that the sample medium installs: a calendar that
// remembers the last day chosen in its settings file, so that an
// uninstallation has saved settings to erase.
#include "examples/dessin_agenda.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateTime>
#include <QLocale>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QSettings>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QSettings reglages(QSettings::IniFormat, QSettings::UserScope, "Agenda");
    // Each launch is noted at once: the settings exist from the first run.
    reglages.setValue("Agenda/DernierLancement", QDateTime::currentDateTime());
    reglages.sync();

    QWidget fenetre;
    fenetre.setWindowTitle("Agenda");
    QIcon icone;
    icone.addPixmap(QPixmap::fromImage(DessinerAgenda(16)));
    icone.addPixmap(QPixmap::fromImage(DessinerAgenda(32)));
    fenetre.setWindowIcon(icone);

    auto* calendrier = new QCalendarWidget(&fenetre);
    calendrier->setGridVisible(true);
    calendrier->setLocale(QLocale());
    auto* note = new QLabel(&fenetre);
    auto* disposition = new QVBoxLayout(&fenetre);
    disposition->addWidget(calendrier);
    disposition->addWidget(note);

    const QDate derniere = reglages.value("Agenda/DernierJour").toDate();
    if (derniere.isValid()) {
        calendrier->setSelectedDate(derniere);
        note->setText(QString::fromUtf8("Dernier jour consulté : ") + QLocale().toString(derniere, QLocale::LongFormat));
    } else {
        note->setText(QString::fromUtf8("Choisissez un jour."));
    }
    QObject::connect(calendrier, &QCalendarWidget::selectionChanged, [&] {
        reglages.setValue("Agenda/DernierJour", calendrier->selectedDate());
        reglages.sync();
    });

    fenetre.resize(360, 300);
    fenetre.show();
    return app.exec();
}
