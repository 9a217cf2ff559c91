// The version file's GET on Qt Network, blocking in a local event loop as the check expects; a
// server that stays silent is given up after the stall time-out.
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <cstdio>

#include <QSysInfo>
#include <QTimer>
#include <QUrl>

#include "UpdateCheck.h"

namespace LXUpdateCheckQt {
Fetch Get(const std::string& url, const std::vector<std::pair<std::string, std::string>>& headers, std::string& body) {
  body.clear();
  QNetworkAccessManager manager;
  QNetworkRequest request(QUrl(QString::fromStdString(url)));
  for (const auto& [name, value] : headers) request.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
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
    stall.start(CUpdateCheck::kStallTimeoutMs);
    const QByteArray chunk = reply->readAll();
    if (body.size() + static_cast<size_t>(chunk.size()) > CUpdateCheck::kMaxFileBytes) {
      tooLarge = true;
      reply->abort();
      return;
    }
    body.append(chunk.constData(), static_cast<size_t>(chunk.size()));
  });
  QObject::connect(reply, &QNetworkReply::downloadProgress, &stall, [&] { stall.start(CUpdateCheck::kStallTimeoutMs); });
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  stall.start(CUpdateCheck::kStallTimeoutMs);
  if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (!tooLarge && reply->bytesAvailable() > 0) {
    const QByteArray rest = reply->readAll();
    if (body.size() + static_cast<size_t>(rest.size()) > CUpdateCheck::kMaxFileBytes)
      tooLarge = true;
    else
      body.append(rest.constData(), static_cast<size_t>(rest.size()));
  }
  const QNetworkReply::NetworkError error = reply->error();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  reply->deleteLater();
  if (tooLarge) return Fetch::TooLarge;
  if (timedOut) return Fetch::NotConnected;
  switch (error) {
    case QNetworkReply::NoError: return status == 0 || (status >= 200 && status < 300) ? Fetch::Ok : Fetch::Failed;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
      return Fetch::NotConnected;
    default:
      return Fetch::Failed;
  }
}

std::string PlatformDescription() {
  const QString kernel = QSysInfo::kernelVersion();
  const QStringList parts = kernel.split(QLatin1Char('.'));
  const int major = parts.size() > 0 ? parts[0].toInt() : 0;
  const int minor = parts.size() > 1 ? parts[1].toInt() : 0;
  const int build = parts.size() > 2 ? parts[2].section(QLatin1Char('-'), 0, 0).toInt() : 0;
  char text[256];
  std::snprintf(text, sizeof text, "%s:%.1d.%.1d:%d:%d", QSysInfo::prettyProductName().toStdString().c_str(), major, minor,
                0, build);
  return text;
}
}  // namespace LXUpdateCheckQt
