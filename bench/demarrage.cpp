// Time from process start to the first paint of the wizard's window, beside
// the same figure for a bare Qt window, each measured in fresh processes.
//
//   bench_demarrage [runs]
#include "wizard/install.h"

#include <QApplication>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <numeric>
#include <vector>

namespace {

double maintenant()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// Prints the monotonic time of the window's first paint, then ends.
class PremierePeinture : public QObject {
public:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) {
            std::printf("%.6f\n", maintenant());
            std::fflush(stdout);
            std::_Exit(0);
        }
        return false;
    }
};

int enfant(int argc, char** argv, bool assistant)
{
    QApplication app(argc, argv);
    PremierePeinture filtre;
    if (assistant) {
        plateforme::Configuration c = plateforme::Configuration::depuisEnvironnement();
        c.dossierPropre = QString::fromLocal8Bit(argv[3]);
        static plateforme::Plateforme p(c);
        auto* w = new Install(p);
        w->installEventFilter(&filtre);
        w->Form_Load();
        w->show();
    } else {
        auto* w = new QWidget;
        w->resize(630, 351);
        w->installEventFilter(&filtre);
        w->show();
    }
    return app.exec();
}

std::vector<double> mesurer(const QString& soi, const QString& mode, const QString& support, int n)
{
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        QProcess p;
        const double t0 = maintenant();
        p.start(soi, {"--enfant", mode, support});
        p.waitForFinished(30000);
        const double t1 = p.readAllStandardOutput().trimmed().toDouble();
        if (t1 > t0) ms.push_back((t1 - t0) * 1000.0);
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::string(argv[1]) == "--enfant") return enfant(argc, argv, std::string(argv[2]) == "assistant");

    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const QString soi = QCoreApplication::applicationFilePath();
    const QString support = QString::fromUtf8(SUPPORT_EXEMPLE);
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));

    const auto nu = mesurer(soi, "nu", support, n);
    const auto assistant = mesurer(soi, "assistant", support, n);
    auto rapport = [](const char* nom, const std::vector<double>& v) {
        if (v.empty()) {
            std::printf("%-22s no measure\n", nom);
            return;
        }
        std::printf("%-22s median %7.1f ms   min %7.1f ms   (%zu runs)\n", nom, v[v.size() / 2], v.front(), v.size());
    };
    std::printf("Process start to first paint of the window (%s):\n", qgetenv("QT_QPA_PLATFORM").constData());
    rapport("bare Qt window", nu);
    rapport("wizard on the sample", assistant);
    if (!nu.empty() && !assistant.empty())
        std::printf("wizard - bare          %7.1f ms\n", assistant[assistant.size() / 2] - nu[nu.size() / 2]);
    return 0;
}
