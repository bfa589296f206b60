#pragma once
// The life of a form: created on first use (a read or write of one of its controls, or a
// show), its load step run then; kept with its values while hidden; discarded when the user
// closes it, after its close step; created again, load step and all, by the next user.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <utility>

namespace pelloway {

class Form : public QWidget
{
    Q_OBJECT
public:
    explicit Form(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    // The load step, run once right after the form is created.
    virtual void Form_Load() {}
    // The close step, run when the user closes the form (close box, Esc, or the form's own
    // buttons calling close()). Unloading by the program skips it. False keeps the form open
    // with its values (a save that failed).
    virtual bool Form_Unload() { return true; }

signals:
    // The user closed the form: its holder lets go of it; the next use creates a new one.
    void discarded();

protected:
    void closeEvent(QCloseEvent* event) override;
};

// Flags of a dialog with a fixed single border and no minimise or maximise button.
Qt::WindowFlags FixedDialogFlags();

// Holds one form and gives it the life above. Every reader goes through get(), so reading a
// control of a discarded form quietly creates it again and reruns its load step.
template <class F> class FormHolder
{
public:
    using Factory = std::function<F*()>;

    explicit FormHolder(Factory factory) : m_factory(std::move(factory)) {}
    FormHolder(const FormHolder&) = delete;
    FormHolder& operator=(const FormHolder&) = delete;
    ~FormHolder() { delete m_form.data(); }

    // The loaded form; loads it (create, then Form_Load) when it is not loaded.
    F& get()
    {
        if (!m_form) {
            F* form = m_factory();
            m_form = form;
            QObject::connect(form, &Form::discarded, form, [this, form] {
                if (m_form == form)
                    m_form = nullptr;
            });
            form->Form_Load();
        }
        return *m_form;
    }
    F* operator->() { return &get(); }

    bool isLoaded() const { return !m_form.isNull(); }
    F* loadedForm() const { return m_form.data(); }

    // Shows the form modeless, loading it first when needed.
    void show()
    {
        F& form = get();
        form.show();
        form.raise();
    }

    // Hides the form if it is loaded.
    void hide()
    {
        if (m_form)
            m_form->hide();
    }

    // Discards the form without its close step. The next use loads it again.
    void unload()
    {
        if (F* form = m_form.data()) {
            m_form = nullptr;
            form->hide();
            form->deleteLater();
        }
    }

private:
    Factory m_factory;
    QPointer<F> m_form;
};

} // namespace pelloway
