#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

namespace quillmere {

// Reads one address into memory without blocking the user interface: Connect starts the
// transfer and yields to the event loop until it ends. Only https addresses are fetched; plain
// http only from this computer itself (127.0.0.1, ::1, localhost), where nothing travels over a
// network.
class Connection final : public QObject {
  Q_OBJECT

 public:
  // The error of the last transfer: number 0 when it succeeded.
  struct Error {
    int number = 0;
    QString description;
  };
  enum State { Idle = 0, Receiving = 1, Finished = 2 };

  explicit Connection(QObject* parent = nullptr);

  // The whole content found at the address, or an empty value after a failure (ErrStatus then
  // says why). A body shorter than the length the server announced is a failure.
  QByteArray Connect(const QString& address);
  // Stops a running transfer; Connect then returns empty with the cancel error.
  void Cancel();
  const Error& ErrStatus() const { return m_error; }
  int state() const { return m_state; }
  bool running() const { return m_reply != nullptr; }

  // Why an address is not fetched (empty when it is): not http(s), or http to another host.
  static QString refusal(const QUrl& url);

  // The error number of a body shorter than announced, and of a refused address.
  static constexpr int kTruncated = 2;  // as the remote host closing the connection early
  static constexpr int kRefusedAddress = 301;

 signals:
  // The share received so far, bytes received / bytes expected * 100 rounded to two places.
  void progress(float percent);

 private:
  void onProgress(qint64 received, qint64 total);
  void onFinished();

  QNetworkAccessManager* m_network;
  QPointer<QNetworkReply> m_reply;
  int m_state = Idle;
  Error m_error;
  QByteArray m_value;
};

}  // namespace quillmere
