#include "gui/main_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

#include "gui/qt_ports.h"

namespace ks::gui {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent),
      m_clock(new QLabel),
      m_last(new QLabel),
      m_next(new QLabel),
      m_countdown(new QLabel(QStringLiteral("..."))),
      m_copy(new QLabel(QStringLiteral("Copie des données en cours"))),
      m_copyBar(new QProgressBar),
      m_transfer(new QLabel(QStringLiteral("Transfert des données en cours"))),
      m_transferCaption(new QLabel),
      m_transferBar(new QProgressBar),
      m_transferItemBar(new QProgressBar),
      m_transferTimer(new QTimer(this)) {
    m_transferTimer->setInterval(250);
    connect(m_transferTimer, &QTimer::timeout, this, &MainWindow::BlinkTransfer);
    setWindowTitle(QStringLiteral("Kestrel: Player de secours"));
    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->addWidget(m_clock, 0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Chargement")), 1, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Précédent")), 2, 0);
    grid->addWidget(m_last, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Prochain")), 3, 0);
    grid->addWidget(m_next, 3, 1);
    grid->addWidget(m_countdown, 4, 1);
    grid->addWidget(m_copy, 5, 0);
    grid->addWidget(m_copyBar, 5, 1);
    grid->addWidget(m_transfer, 6, 0);
    grid->addWidget(m_transferCaption, 6, 1);
    grid->addWidget(m_transferBar, 7, 0, 1, 2);
    grid->addWidget(m_transferItemBar, 8, 0, 1, 2);
    setCentralWidget(central);
    m_copyBar->setRange(0, 100);
    m_copy->hide();
    m_transfer->hide();
    auto* menu = menuBar()->addMenu(QStringLiteral("&Fichier"));
    menu->addAction(QStringLiteral("&Quitter"), this, &QWidget::close);
}

void MainWindow::ShowLastLoad(const std::string& text) {
    m_last->setText(FromCp(text));
}
void MainWindow::ShowNextLoad(const std::string& text) {
    m_next->setText(FromCp(text));
}
void MainWindow::ShowCountdown(const std::string& text) {
    m_countdown->setText(FromCp(text));
}
void MainWindow::ShowClock(const std::string& text) {
    m_clock->setText(FromCp(text));
}

// TexteTimingData: the last load beside "Précédent", the next one beside "Prochain".
void MainWindow::ShowTimingData(int index, const std::string& text) {
    if (index == 0) {
        ShowLastLoad(text);
    } else if (index == 1) {
        ShowNextLoad(text);
    }
}

void MainWindow::ShowCopy(bool visible) {
    m_copy->setVisible(visible);
}
void MainWindow::SetCopyProgress(int value) {
    m_copyBar->setValue(value);
}
void MainWindow::ShowTransfer(bool visible) {
    m_transfer->setVisible(visible);
}
void MainWindow::BlinkTransfer() {
    m_transfer->setVisible(!m_transfer->isVisible());
}
void MainWindow::SetTransferTimer(bool enabled) {
    if (enabled) {
        m_transferTimer->start();
    } else {
        m_transferTimer->stop();
    }
}
void MainWindow::SetTransferCaption(const std::string& text) {
    m_transferCaption->setText(FromCp(text));
}
void MainWindow::SetTransferProgress(int minimum, int maximum, int value) {
    m_transferBar->setRange(minimum, maximum);
    m_transferBar->setValue(value);
}
void MainWindow::SetTransferItemProgress(int minimum, int maximum, int value) {
    m_transferItemBar->setRange(minimum, maximum);
    m_transferItemBar->setValue(value);
}
void MainWindow::SetMenuEnabled(bool enabled) {
    menuBar()->setEnabled(enabled);
}

}  // namespace ks::gui
