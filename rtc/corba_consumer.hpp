#pragma once
// Holder of a required interface's object reference, filled when its service port connects.

#include <omniORB4/CORBA.h>

#include <mutex>

namespace RTC {

class CorbaConsumerBase {
  public:
    virtual ~CorbaConsumerBase() = default;
    virtual bool setObject(CORBA::Object_ptr obj) {
        std::lock_guard<std::mutex> lock(mutex_);
        object_ = CORBA::Object::_duplicate(obj);
        return true;
    }
    CORBA::Object_ptr getObject() {
        std::lock_guard<std::mutex> lock(mutex_);
        return CORBA::Object::_duplicate(object_.in());
    }
    void releaseObject() { setObject(CORBA::Object::_nil()); }

  private:
    std::mutex mutex_;
    CORBA::Object_var object_;
};

template <typename ObjectType>
class CorbaConsumer : public CorbaConsumerBase {
  public:
    // A new reference (nil when unconnected); the caller owns it.
    typename ObjectType::_ptr_type _ptr() {
        CORBA::Object_var obj = getObject();
        if (CORBA::is_nil(obj.in())) {
            return ObjectType::_nil();
        }
        return ObjectType::_narrow(obj.in());
    }
};

}  // namespace RTC
