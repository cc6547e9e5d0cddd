// Writes each image of the program's Windows icon as a PNG where an icon theme keeps it:
//   tllink_icon_theme ICON.ico DIR   ->  DIR/<size>x<size>/apps/tllink.png
// so that the menus of Linux desktops show the same art, at the sizes drawn for them.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ICON.ico DIR\n", argv[0]);
    return 2;
  }
  QImageReader reader(QString::fromLocal8Bit(argv[1]), "ico");
  const QDir out(QString::fromLocal8Bit(argv[2]));
  int written = 0;
  for (int i = 0; i < reader.imageCount(); ++i) {
    if (!reader.jumpToImage(i)) break;
    const QImage image = reader.read();
    if (image.isNull() || image.width() != image.height()) {
      std::fprintf(stderr, "image %d of %s: %s\n", i, argv[1], qPrintable(reader.errorString()));
      return 1;
    }
    const QString size = QStringLiteral("%1x%1").arg(image.width());
    const QString folder = size + QStringLiteral("/apps");
    if (!out.mkpath(folder) ||
        !image.convertToFormat(QImage::Format_ARGB32).save(out.filePath(folder + "/tllink.png"))) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(folder)));
      return 1;
    }
    ++written;
  }
  if (written == 0) {
    std::fprintf(stderr, "%s holds no image\n", argv[1]);
    return 1;
  }
  return 0;
}
