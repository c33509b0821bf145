// Answers the modal windows a test opens: each step waits until a modal
// window of its type is on top, then acts on it. Steps run in order, from
// the event loop the modal window itself runs.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class TModalAnswers
{
public:
    // Acts on the next modal window of type T that is not the one answered
    // just before.
    template <class T> TModalAnswers &Then(std::function<void(T *)> act)
    {
        steps_.push_back({[](QWidget *w) { return qobject_cast<T *>(w) != nullptr; },
                          [act](QWidget *w) { act(qobject_cast<T *>(w)); }});
        return *this;
    }

    // Starts polling; the answers stop when the object is destroyed.
    void Start()
    {
        timer_ = std::make_unique<QTimer>();
        QObject::connect(timer_.get(), &QTimer::timeout, [this] { Poll(); });
        timer_->start(10);
    }

    bool Done() const { return next_ == steps_.size(); }

private:
    void Poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (next_ >= steps_.size() || !modal || modal == last_ || !modal->isVisible())
            return;
        if (!steps_[next_].Matches(modal))
            return;
        last_ = modal;
        // Acted on from a timer of its own: an answer that opens another
        // modal window must not hold this poll, which answers that one too.
        QTimer::singleShot(0, modal, [act = steps_[next_++].Act, target = QPointer<QWidget>(modal)] {
            if (target)
                act(target);
        });
    }

    struct TStep
    {
        std::function<bool(QWidget *)> Matches;
        std::function<void(QWidget *)> Act;
    };
    std::vector<TStep> steps_;
    size_t next_ = 0;
    QPointer<QWidget> last_;
    std::unique_ptr<QTimer> timer_;
};
