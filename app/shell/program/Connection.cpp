#include "Connection.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <cmath>

namespace quillmere {

Connection::Connection(QObject* parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this)) {}

QString Connection::refusal(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  if (scheme == "https") return {};
  const QString host = url.host().toLower();
  const bool loopback = host == "localhost" || QHostAddress(host).isLoopback();
  if (scheme == "http" && loopback) return {};
  if (scheme == "http")
    return QString::fromUtf8(
               "暗号化されない http のアドレスには接続しません。https のアドレスを設定してください"
               "（http はこのコンピューター自身 127.0.0.1 / localhost のときだけ使えます）: ") +
           url.toDisplayString();
  return QString::fromUtf8("https のアドレスではありません: ") + url.toDisplayString();
}

QByteArray Connection::Connect(const QString& address) {
  if (running() || address.isEmpty()) return {};
  m_state = Idle;
  m_error = {};
  m_value.clear();
  const QUrl url(address);
  if (const QString why = refusal(url); !why.isEmpty()) {
    m_error = {kRefusedAddress, why};
    return {};
  }
  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::NoLessSafeRedirectPolicy);
  QNetworkReply* reply = m_network->get(request);
  m_reply = reply;
  connect(reply, &QNetworkReply::downloadProgress, this, &Connection::onProgress);
  connect(reply, &QNetworkReply::finished, this, &Connection::onFinished);
  // Yields until the transfer ends: the main timer and the other windows keep working.
  QEventLoop wait;
  connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
  if (m_state != Finished) wait.exec();
  // The wait can end early when the program is ending: the transfer then counts as stopped,
  // never as an empty success.
  if (m_state != Finished && m_reply) m_reply->abort();
  if (m_state != Finished) {
    m_error = {QNetworkReply::OperationCanceledError, "the transfer was stopped"};
    m_value.clear();
  }
  m_state = Idle;
  return m_error.number == 0 ? m_value : QByteArray();
}

void Connection::Cancel() {
  if (m_reply) m_reply->abort();
}

void Connection::onProgress(qint64 received, qint64 total) {
  m_state = Receiving;
  if (total <= 0) return;
  const double percent = static_cast<double>(received) / static_cast<double>(total) * 100.0;
  emit progress(static_cast<float>(std::round(percent * 100.0) / 100.0));
}

void Connection::onFinished() {
  QNetworkReply* reply = m_reply;
  m_reply.clear();
  if (reply == nullptr) return;
  if (reply->isOpen()) m_value = reply->readAll();
  if (reply->error() != QNetworkReply::NoError) {
    m_error = {static_cast<int>(reply->error()), reply->errorString()};
  } else {
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    if (announced.isValid() && m_value.size() < announced.toLongLong())
      m_error = {kTruncated,
                 QString::fromUtf8("受信したデータが途中で切れています（%1 / %2 バイト）")
                     .arg(m_value.size())
                     .arg(announced.toLongLong())};
  }
  if (m_error.number != 0) m_value.clear();
  reply->deleteLater();
  m_state = Finished;
}

}  // namespace quillmere
