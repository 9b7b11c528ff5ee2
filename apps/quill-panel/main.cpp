// quill-panel [-d QUEUE] [FILE...]: the print dialog of a Quill queue on the Linux desktop.
#include <QApplication>

int main(int argc, char** argv)
{
  QApplication app(argc, argv);
  return 0;
}
