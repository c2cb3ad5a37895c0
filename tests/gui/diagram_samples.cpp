// Writes sample diagrams (SPL with phase, impedance, group delay, many curves) as PNG and SVG
// files into the folder given as the first argument, to look at the painter's output:
//   diagram_samples /tmp/plots
#include "core/diagram_model.h"
#include "gui/diagram_renderer.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>

#include <array>
#include <cmath>
#include <complex>
#include <cstdio>

using namespace harlox;

namespace {

constexpr int kN = 200;
constexpr double kPi = 3.141592653589793;

std::array<double, kN> logGrid(double f0, double f1) {
    std::array<double, kN> f{};
    for (int i = 0; i < kN; ++i)
        f[i] = f0 * std::pow(f1 / f0, double(i) / (kN - 1));
    return f;
}

double deg(std::complex<double> z) {
    return std::arg(z) * 180.0 / kPi;
}

bool save(const DiagramModel& m, const QString& dir, const QString& name, int w, int h) {
    QString err;
    const QString path = dir + QLatin1Char('/') + name;
    if (!DiagramRenderer::saveToFile(m, path, QSize(w, h), &err)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(err));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);

    // Closed box: second-order high-pass at 50 Hz, Q 0.707, and a Q 1.1 target.
    const auto f = logGrid(20.0, 2000.0);
    std::array<double, kN> spl{}, phase{}, target{};
    for (int i = 0; i < kN; ++i) {
        const std::complex<double> s(0.0, f[i] / 50.0);
        const std::complex<double> h = s * s / (s * s + s / 0.707 + 1.0);
        const std::complex<double> t = s * s / (s * s + s / 1.1 + 1.0);
        spl[i] = 88.0 + 20.0 * std::log10(std::abs(h));
        target[i] = 88.0 + 20.0 * std::log10(std::abs(t));
        phase[i] = deg(h);
    }
    DiagramModel splWin("Free air SPL at 1m distance", "Hz", "dB");
    splWin.setX(f.data());
    splWin.setPointCount(kN);
    splWin.addCurve(spl.data(), Pen{PenColor::Black, PenStyle::Thick}, "Total");
    splWin.addCurve(target.data(), Pen{PenColor::Red, PenStyle::Dash}, "Target");
    splWin.setPhase(phase.data());
    splWin.setFixedYRange(50.0);
    bool ok = save(splWin, dir, QStringLiteral("spl_1200x800.png"), 1200, 800);
    ok &= save(splWin, dir, QStringLiteral("spl_600x400.png"), 600, 400);
    ok &= save(splWin, dir, QStringLiteral("spl_400x250.png"), 400, 250);
    ok &= save(splWin, dir, QStringLiteral("spl.svg"), 600, 400);
    splWin.setCursor(63.0);
    splWin.setNote("Sealed 22 l, 2 x 8\" woofer");
    ok &= save(splWin, dir, QStringLiteral("spl_cursor_600x400.png"), 600, 400);
    ok &= save(splWin, dir, QStringLiteral("spl_cursor_2400x1600.png"), 2400, 1600);

    // Impedance of a driver: Re 6 ohm, fs 55 Hz, Qms 4, Qes 0.5, Le 0.5 mH.
    const auto fz = logGrid(10.0, 20000.0);
    std::array<double, kN> z{}, zph{};
    for (int i = 0; i < kN; ++i) {
        const double r = fz[i] / 55.0;
        const std::complex<double> zm = 48.0 / std::complex<double>(1.0, 4.0 * (r - 1.0 / r));
        const std::complex<double> zt = 6.0 + zm + std::complex<double>(0.0, 2 * kPi * fz[i] * 0.5e-3);
        z[i] = std::abs(zt);
        zph[i] = deg(zt);
    }
    DiagramModel imp("Impedance", "Hz", "ohm");
    imp.setX(fz.data());
    imp.setPointCount(kN);
    imp.addCurve(z.data(), Pen{PenColor::Blue, PenStyle::Thick}, "Driver unit");
    imp.setPhase(zph.data());
    ok &= save(imp, dir, QStringLiteral("impedance_1200x800.png"), 1200, 800);
    ok &= save(imp, dir, QStringLiteral("impedance_600x400.png"), 600, 400);

    // Group delay in ms, no phase, linear values that need a nice range.
    std::array<double, kN> gd{};
    for (int i = 0; i < kN; ++i) {
        const double r = f[i] / 50.0;
        gd[i] = 1000.0 * (1.414 * (1 + r * r)) / (2 * kPi * 50.0 * (std::pow(1 - r * r, 2) + 2 * r * r));
    }
    DiagramModel gdWin("Group delay", "Hz", "ms");
    gdWin.setX(f.data());
    gdWin.setPointCount(kN);
    gdWin.addCurve(gd.data(), Pen{PenColor::Green, PenStyle::Solid}, "Group delay");
    ok &= save(gdWin, dir, QStringLiteral("group_delay_600x400.png"), 600, 400);

    // Ten curves, every colour and style, with labels of different lengths.
    std::array<std::array<double, kN>, 10> many{};
    DiagramModel manyWin("Ten curves with every pen", "Hz", "dB");
    manyWin.setX(fz.data());
    manyWin.setPointCount(kN);
    const PenColor colors[] = {PenColor::Black, PenColor::Red, PenColor::Green, PenColor::Blue,
                               PenColor::Grey};
    const PenStyle styles[] = {PenStyle::Thick, PenStyle::Solid,   PenStyle::Dash,
                               PenStyle::Dot,   PenStyle::DashDot, PenStyle::DashDotDot};
    for (int c = 0; c < 10; ++c) {
        for (int i = 0; i < kN; ++i)
            many[c][i] = 70.0 + 3.0 * c + 6.0 * std::sin(i * 0.05 + c);
        const std::string label =
            c == 3 ? "A rather long label for the fourth curve" : "Curve " + std::to_string(c + 1);
        manyWin.addCurve(many[c].data(), Pen{colors[c % 5], styles[c % 6]}, label);
    }
    ok &= save(manyWin, dir, QStringLiteral("ten_curves_600x400.png"), 600, 400);
    ok &= save(manyWin, dir, QStringLiteral("ten_curves_400x250.png"), 400, 250);

    // Linear x: a step response in ms.
    std::array<double, kN> t{}, step{};
    for (int i = 0; i < kN; ++i) {
        t[i] = i * 0.1;
        step[i] = 1.0 - std::exp(-t[i] / 2.0) * std::cos(t[i] * 1.3);
    }
    DiagramModel stepWin("Step response", "ms", "");
    stepWin.setLogX(false);
    stepWin.setX(t.data());
    stepWin.setPointCount(kN);
    stepWin.addCurve(step.data(), Pen{PenColor::Blue, PenStyle::Solid}, "Step");
    ok &= save(stepWin, dir, QStringLiteral("step_600x400.png"), 600, 400);

    // A maximised window on screen: the unit grows only a little.
    {
        RenderOptions screen;
        screen.unit = 1.35;
        imp.setCursor(800.0);
        const QImage img = DiagramRenderer::toImage(imp, QSize(1400, 900), screen);
        ok &= img.save(dir + QStringLiteral("/screen_1400x900.png"));
        imp.clearCursor();
    }

    // Filter gains: negative values, three ways.
    std::array<std::array<double, kN>, 3> gain{};
    DiagramModel gainWin("Filter gain", "Hz", "dB");
    gainWin.setX(fz.data());
    gainWin.setPointCount(kN);
    const char* names[] = {"Bass section", "Mid section", "Treble section"};
    const PenColor gainColors[] = {PenColor::Red, PenColor::Green, PenColor::Blue};
    for (int w = 0; w < 3; ++w) {
        for (int i = 0; i < kN; ++i) {
            const double lo = w == 0 ? 1.0 : std::pow(fz[i] / (w == 1 ? 300.0 : 3000.0), 2);
            const double hi = w == 2 ? 1.0 : std::pow(fz[i] / (w == 0 ? 300.0 : 3000.0), 2);
            gain[w][i] = 20.0 * std::log10(lo / (1.0 + lo) / (1.0 + hi));
        }
        gainWin.addCurve(gain[w].data(), Pen{gainColors[w], w == 1 ? PenStyle::DashDot : PenStyle::Solid},
                         names[w]);
    }
    ok &= save(gainWin, dir, QStringLiteral("filter_gain_600x400.png"), 600, 400);

    // A new project's window: curves connected, no points yet.
    DiagramModel empty("Cone excursion", "Hz", "mm p-p");
    empty.setX(f.data());
    empty.addCurve(spl.data(), Pen{PenColor::Black, PenStyle::Thick}, "Driver unit");
    ok &= save(empty, dir, QStringLiteral("empty_600x400.png"), 600, 400);

    // A printed page: 1200 x 1800 logical units, three frames of 0.8 x 0.25 of the page with
    // their titles above, drawn through a scaling painter as on a printer.
    QImage page(900, 1350, QImage::Format_ARGB32_Premultiplied);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        p.setWindow(0, 0, 1200, 1800);
        RenderOptions print;
        print.printing = true;
        print.drawTitle = false;
        const DiagramModel* frames[] = {&splWin, &imp, &gdWin};
        QFont titleFont;
        titleFont.setPixelSize(25);
        for (int k = 0; k < 3; ++k) {
            const double top = 150 + k * 560;
            p.setFont(titleFont);
            p.drawText(QRectF(0, top - 40, 1200, 35), Qt::AlignHCenter | Qt::AlignBottom,
                       QString::fromStdString(frames[k]->title()));
            DiagramRenderer::render(p, QRectF(120, top, 960, 450), *frames[k], print);
        }
    }
    ok &= page.save(dir + QStringLiteral("/print_page.png"));
    return ok ? 0 : 1;
}
