// The version file's GET on Qt Network, blocking in a local event loop as the check expects; a
// server that stays silent is given up after the stall time-out. Built as a module of its own.
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include "NetworkFetch.h"

extern "C" __attribute__((visibility("default"))) int qlw_fetch_get(const char* url, const char* const* headers,
                                                                     size_t headerCount, int stallMs, size_t maxBytes,
                                                                     std::string* out) {
  std::string& body = *out;
  body.clear();
  QNetworkAccessManager manager;
  QNetworkRequest request(QUrl(QString::fromUtf8(url)));
  for (size_t i = 0; i < headerCount; ++i) request.setRawHeader(QByteArray(headers[2 * i]), QByteArray(headers[2 * i + 1]));
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  QNetworkReply* reply = manager.get(request);
  QEventLoop loop;
  QTimer stall;
  stall.setSingleShot(true);
  bool timedOut = false, tooLarge = false;
  QObject::connect(&stall, &QTimer::timeout, &loop, [&] {
    timedOut = true;
    reply->abort();
  });
  // Read as the bytes come, to the end, up to the cap.
  QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
    stall.start(stallMs);
    const QByteArray chunk = reply->readAll();
    if (body.size() + static_cast<size_t>(chunk.size()) > maxBytes) {
      tooLarge = true;
      reply->abort();
      return;
    }
    body.append(chunk.constData(), static_cast<size_t>(chunk.size()));
  });
  QObject::connect(reply, &QNetworkReply::downloadProgress, &stall, [&] { stall.start(stallMs); });
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  stall.start(stallMs);
  if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (!tooLarge && reply->bytesAvailable() > 0) {
    const QByteArray rest = reply->readAll();
    if (body.size() + static_cast<size_t>(rest.size()) > maxBytes)
      tooLarge = true;
    else
      body.append(rest.constData(), static_cast<size_t>(rest.size()));
  }
  const QNetworkReply::NetworkError error = reply->error();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  reply->deleteLater();
  if (tooLarge) return kQlwFetchTooLarge;
  if (timedOut) return kQlwFetchNotConnected;
  // A server that answered, whatever its status, sent a body: the check reads it as the version file.
  if (status != 0 && error != QNetworkReply::OperationCanceledError) return kQlwFetchOk;
  switch (error) {
    case QNetworkReply::NoError: return kQlwFetchOk;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
      return kQlwFetchNotConnected;
    default:
      return kQlwFetchFailed;
  }
}

