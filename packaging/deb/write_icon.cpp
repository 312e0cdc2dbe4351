// Writes one of the component's pictures as a PNG file, for the Debian
// package's icons: corvale_debicon NAME FILE (NAME: "toolbar", "logo").
#include <cstdio>

#include <QImage>
#include <QString>

#include "platform/qt/QtPictures.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: corvale_debicon PICTURE FILE.png\n");
    return 1;
  }
  const corvale::Picture* picture = corvale::findPicture(argv[1]);
  if (!picture) {
    std::fprintf(stderr, "corvale_debicon: no picture named %s\n", argv[1]);
    return 1;
  }
  if (!corvale::qt::pictureImage(*picture).save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "corvale_debicon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
