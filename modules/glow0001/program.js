// Run 버턴을 클릭하면 한 번만 실행 됩니다.
function setup() {
  LED.minus = pin(GND);
  LED.plus  = pin(13);
}

// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다.
function loop() {
  // 13번 핀에 전기를 공급합니다.  결과적으로 LED에 불이 들어 옵니다.
  digitalWrite(13, HIGH);

  // 1초 동안 기다립니다.
  delay(1000);

  // 13번 핀에 전기 공급을 중단합니다.  결과적으로 LED에 불이 꺼집니다.
  digitalWrite(13, LOW);

  // 1초 동안 기다립니다.
  delay(1000);
}
