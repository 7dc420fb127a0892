#include "VmPanelWiring.h"

#include "VmPanelView.h"

namespace {

using Post = std::function<void(std::function<void(VirtualMachine&)>)>;

void OnKey(TVyoButton* key, const Post& post, void (VirtualMachine::*handler)()) {
  key->OnClick = [post, handler](TVyoButton*) {
    post([handler](VirtualMachine& vm) { (vm.*handler)(); });
  };
}

// Keys whose handler takes the key's tag (transport) or its index (track and function keys).
void OnTaggedKey(TVyoButton* key, const Post& post, void (VirtualMachine::*handler)(int)) {
  key->OnClick = [post, handler](TVyoButton* sender) {
    post([handler, tag = sender->Tag()](VirtualMachine& vm) { (vm.*handler)(tag); });
  };
}

void OnBox(QCheckBox* box, QObject* context, const Post& post,
           void (VirtualMachine::*handler)(bool)) {
  QObject::connect(box, &QCheckBox::clicked, context, [post, handler](bool on) {
    post([handler, on](VirtualMachine& vm) { (vm.*handler)(on); });
  });
}

void OnList(QListWidget* list, QObject* context, const Post& post,
            void (VirtualMachine::*handler)(int)) {
  QObject::connect(
      list, &QListWidget::itemClicked, context, [list, post, handler](QListWidgetItem* item) {
        post([handler, row = list->row(item)](VirtualMachine& vm) { (vm.*handler)(row); });
      });
}

}  // namespace

void WireVmPanelControls(VmPanelView& p, QObject* context, VmPanelCalls calls) {
  const Post post = std::move(calls.post);
  for (TVyoButton* key : {p.vrwd, p.vrvsplay, p.vstop, p.vplay, p.vfwd, p.vedit, p.vOff})
    OnTaggedKey(key, post, &VirtualMachine::vplayClick);
  p.vgoto->OnClick = [post, ask = std::move(calls.askGoto)](TVyoButton*) {
    const GotoAnswer answer = ask();
    if (answer.asked) post([entry = answer.entry](VirtualMachine& vm) { vm.vgotoClick(entry); });
  };
  OnKey(p.vlocal, post, &VirtualMachine::vlocalClick);
  OnKey(p.MarkIn, post, &VirtualMachine::MarkInClick);
  OnKey(p.MarkOut, post, &VirtualMachine::MarkOutClick);
  OnBox(p.qall, context, post, &VirtualMachine::qallClick);
  OnBox(p.nostill, context, post, &VirtualMachine::nostillClick);
  OnBox(p.recinhibit, context, post, &VirtualMachine::recinhibitClick);
  OnBox(p.nostatus, context, post, &VirtualMachine::nostatusClick);
  for (TVyoButton* key : p.rr) OnTaggedKey(key, post, &VirtualMachine::rr1Click);
  for (TVyoButton* key : p.ra) OnTaggedKey(key, post, &VirtualMachine::ra1Click);
  OnKey(p.bank, post, &VirtualMachine::bankClick);
  OnList(p.dd35clips1, context, post, &VirtualMachine::dd35clips1Click);
  OnList(p.dd35clips2, context, post, &VirtualMachine::dd35clips2Click);
}
