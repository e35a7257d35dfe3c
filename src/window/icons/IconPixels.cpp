// Build tool: turns a PNG into its raw pixels (ARGB32, premultiplied, host byte order,
// rows top to bottom, no padding), so the program can make its window icon without
// QImageReader, which loads every image-format plug-in to ask whether it reads PNG.
//
//   icon_pixels IN.png OUT

#include <QFile>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: icon_pixels IN.png OUT\n");
        return 2;
    }
    const QImage image = QImage(QString::fromLocal8Bit(argv[1]), "PNG")
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        std::fprintf(stderr, "icon_pixels: cannot read %s\n", argv[1]);
        return 1;
    }
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly))
        return 1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const char*>(image.constScanLine(y));
        if (out.write(row, image.width() * 4) != image.width() * 4)
            return 1;
    }
    return out.flush() ? 0 : 1;
}
