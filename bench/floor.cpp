// The floor for the start-up and memory figures: the least any Qt 6 Widgets window showing the
// same kaomoji costs on this machine — a combo box and 40 buttons with the same labels and the
// same Japanese font list as the palette, and nothing else (no files, no timers, no X calls of
// its own). What the palette needs beyond this is what the benchmark holds it to.
// usage: bench_floor TITLE LABELS_FILE   (LABELS_FILE: UTF-8, one label a line, 40 are used)
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFont>
#include <QPushButton>
#include <QStringList>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_floor TITLE LABELS_FILE\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_floor: cannot read %s\n", argv[2]);
        return 2;
    }
    QStringList labels = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    while (labels.size() < 40)
        labels << QStringLiteral("(^_^)");

    // The same font families the palette asks for, so both pay for the same font files.
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(9);

    QWidget window;
    window.setWindowTitle(QString::fromLocal8Bit(argv[1]));
    window.setFont(font);
    window.resize(340, 470);
    auto* pages = new QComboBox(&window);
    for (int page = 1; page <= 10; ++page)
        pages->addItem(QStringLiteral("ページ%1").arg(page));
    pages->setGeometry(0, 0, 73, 20);
    // Two columns as the palette has them: 20 on the left, 20 on the right.
    for (int i = 0; i < 40; ++i) {
        auto* button = new QPushButton(labels[i], &window);
        button->setFocusPolicy(Qt::NoFocus);
        const int column = i / 20, row = i % 20;
        button->setGeometry(column == 0 ? 0 : 80, 22 + row * 20, column == 0 ? 73 : 250, 21);
    }
    window.show();
    return app.exec();
}
