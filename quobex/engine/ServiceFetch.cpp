#include "quobex/engine/ServiceFetch.h"

#include "platform/Errors.h"
#include "platform/HttpClient.h"

#include <QRegularExpression>

#include <exception>

namespace quobex {

namespace {

// Codes by which the service says that nothing matched: an empty result,
// not a failure.
bool meansNoMatch(const QString& code)
{
    return code.endsWith(QLatin1String(".NoExactMatches")) || code.endsWith(QLatin1String(".NoSimilarities"));
}

// The first Error among the children of `errors` that is a failure.
CheckFailure failureAmong(const QDomElement& errors)
{
    for (QDomElement error = errors.firstChildElement(QStringLiteral("Error")); !error.isNull();
         error = error.nextSiblingElement(QStringLiteral("Error"))) {
        const QString code = error.firstChildElement(QStringLiteral("Code")).text().trimmed();
        if (meansNoMatch(code))
            continue;
        const QString message = error.firstChildElement(QStringLiteral("Message")).text().trimmed();
        CheckFailure failure;
        failure.kind = CheckFailure::Kind::ServiceError;
        if (message.isEmpty())
            failure.message = code;
        else if (code.isEmpty())
            failure.message = message;
        else
            failure.message = message + QStringLiteral(" (") + code + QLatin1Char(')');
        return failure;
    }
    return {};
}

} // namespace

QByteArray RequestServiceReply(const QByteArray& url)
{
    platform::HttpClient client;
    return client.get(url);
}

QByteArray FetchServiceReply(const QByteArray& url)
{
    try {
        return RequestServiceReply(url);
    } catch (const std::exception&) {
        return {};
    }
}

CheckFailure DescribeRequestFailure(const QString& clientMessage)
{
    CheckFailure failure;
    failure.message = clientMessage;
    static const QRegularExpression status(QStringLiteral("(?:HTTP|status|returned error)\\D{0,16}\\b([1-5]\\d\\d)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression timeOut(QStringLiteral("timed? ?-?out|too slow"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = status.match(clientMessage); m.hasMatch()) {
        failure.kind = CheckFailure::Kind::HttpStatus;
        failure.httpStatus = m.captured(1).toInt();
    } else if (timeOut.match(clientMessage).hasMatch()) {
        failure.kind = CheckFailure::Kind::TimedOut;
    } else {
        failure.kind = CheckFailure::Kind::NoAnswer;
    }
    return failure;
}

CheckFailure ServiceErrorIn(const platform::XmlDocument& reply)
{
    const QDomElement root = reply.documentElement();
    if (root.tagName().endsWith(QLatin1String("ErrorResponse"))) {
        CheckFailure failure = failureAmong(root);
        if (!failure.failed())
            failure = failureAmong(root.firstChildElement(QStringLiteral("Errors")));
        // An error document says it failed even when it gives no reason.
        failure.kind = CheckFailure::Kind::ServiceError;
        return failure;
    }
    const auto requestErrors = [](const QDomElement& list) {
        return list.firstChildElement(QStringLiteral("Request")).firstChildElement(QStringLiteral("Errors"));
    };
    for (const QDomElement& errors :
         {root.firstChildElement(QStringLiteral("OperationRequest")).firstChildElement(QStringLiteral("Errors")),
          requestErrors(root.firstChildElement(QStringLiteral("Items"))),
          requestErrors(root.firstChildElement(QStringLiteral("BrowseNodes")))}) {
        const CheckFailure failure = failureAmong(errors);
        if (failure.failed())
            return failure;
    }
    return {};
}

} // namespace quobex
