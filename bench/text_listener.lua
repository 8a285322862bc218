-- The text listener of the text benchmarks: a started Tidelisten on GROUP:PORT whose
-- handler checks each text's nine-entry list, counts it in receiver.delivered, calls
-- each(receiver) when given, and stops host.run at the COUNTth. Loaded with dofile by the
-- scripts beside it; returns the listener and the receiver.
return function(group, port, count, each)
  local listener = xtra.new("Tidelisten")
  local receiver = { delivered = 0 }
  function receiver:onText(list)
    self.delivered = self.delivered + 1
    if each then each(self) end
    assert(#list == 9 and list.data == "hello, group")
    if self.delivered == count then host.stop() end
  end
  listener:SetScriptObject(receiver)
  listener:OnTextData(symbol("onText"))
  assert(listener:Open(port, group) == 0, "cannot join " .. group)
  listener:Start()
  return listener, receiver
end
