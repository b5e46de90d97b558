#!/usr/bin/env python3
"""A small GTK 3 form for the MSAA test: a button, a checked check box, a disabled button, an entry
with text and a spin button. It focuses its own window (no window manager runs), writes the
screen centres of its buttons to WORK/pronto, and then moves the focus as step files appear in
WORK: fase1 the check box; fase2 the entry, then the spin button; fase3 between the button and
the check box 105 times; fase4 to a second window, "Segunda", which has nothing to focus inside.
After each step it writes WORK/feitoN.

    msaa_form.py WORK
"""
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

work = sys.argv[1]
window = Gtk.Window(title="Formulario")
box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=6)
window.add(box)
ouvir = Gtk.Button(label="Ouvir")
aceito = Gtk.CheckButton(label="Aceito")
aceito.set_active(True)
gravar = Gtk.Button(label="Gravar")
gravar.set_sensitive(False)
rua = Gtk.Entry()
rua.set_text("Rua das Flores")
volume = Gtk.SpinButton.new_with_range(0, 10, 1)
volume.set_value(7)
for widget in (ouvir, aceito, gravar, rua, volume):
    box.pack_start(widget, False, False, 0)
window.connect("destroy", Gtk.main_quit)
window.show_all()
done = set()


def write(name, text=""):
    with open(os.path.join(work, name + ".tmp"), "w") as f:
        f.write(text)
    os.rename(os.path.join(work, name + ".tmp"), os.path.join(work, name))


def centre(widget):
    _, ox, oy = window.get_window().get_origin()
    x, y = widget.translate_coordinates(window, 0, 0)
    a = widget.get_allocation()
    return ox + x + a.width // 2, oy + y + a.height // 2


def area(widget):
    _, ox, oy = window.get_window().get_origin()
    x, y = widget.translate_coordinates(window, 0, 0)
    a = widget.get_allocation()
    return ox + x, oy + y, a.width, a.height


second = Gtk.Window(title="Segunda")
second.add(Gtk.Label(label="Nada aqui"))


def activate_second():
    if not second.is_active():
        second.get_window().focus(Gdk.CURRENT_TIME)
        return True
    write("feito4")
    return False


def ready():
    window.get_window().focus(Gdk.CURRENT_TIME)
    ouvir.grab_focus()
    GLib.timeout_add(300, announce)
    return False


def announce():
    if not window.is_active():
        window.get_window().focus(Gdk.CURRENT_TIME)
        return True
    lines = ["%d %d" % centre(ouvir), "%d %d" % centre(gravar), "%d %d %d %d" % area(aceito)]
    write("pronto", "\n".join(lines) + "\n")
    GLib.timeout_add(50, steps)
    return False


def steps():
    for step in ("fase1", "fase2", "fase3", "fase4"):
        if step in done or not os.path.exists(os.path.join(work, step)):
            continue
        done.add(step)
        if step == "fase1":
            aceito.grab_focus()
        elif step == "fase2":
            rua.grab_focus()
            volume.grab_focus()
        elif step == "fase3":
            for i in range(1, 106):
                (ouvir if i % 2 else aceito).grab_focus()
        else:
            second.show_all()
            GLib.timeout_add(300, activate_second)
            continue
        write("feito" + step[-1])
    return True


GLib.timeout_add(200, ready)
Gtk.main()
