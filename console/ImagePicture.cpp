#include "console/ImagePicture.h"

#include <QPainter>

#include "protocol/ImageStore.h"

CImagePicture::CImagePicture(const CImageStore& image, QWidget* frame) : QWidget(frame), m_Image(image) {
    setObjectName("fingerprintPicture");
    // Every pixel is painted each time: no background erase, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName("Fingerprint image");
    setGeometry(1, 1, IMAGE_WIDTH, IMAGE_HEIGHT);
    show();
}

void CImagePicture::paintEvent(QPaintEvent*) {
    ++m_nPaints;
    // The store's bytes are drawn as they are, row by row: a grey level per
    // pixel, the same weight in red, green and blue on any screen depth.
    const QImage picture(m_Image.Data(), IMAGE_WIDTH, IMAGE_HEIGHT, IMAGE_WIDTH, QImage::Format_Grayscale8);
    QPainter painter(this);
    painter.drawImage(0, 0, picture);
}
