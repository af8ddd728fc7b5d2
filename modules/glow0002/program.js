// Run 버턴을 클릭하면 한 번만 실행 됩니다.
function setup() {
  LED.minus = pin(GND);
  LED.plus  = pin(13);

  Dial.Position = 50;
}

// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다.
function loop() {
  // 다이얼은 0부터 100까지 변합니다.  여기에 10을 곱하면 0부터 1초까지 변하게 됩니다. 
  var p = Dial.Position * 10;
  
  // 현재 p의 값을 표기합니다.
  Label.Caption = p.toString(); 

  // 13번 핀에 전기를 공급합니다.  결과적으로 LED에 불이 들어 옵니다.
  digitalWrite(13, HIGH);

  // 다이얼이 가르치는 숫자만큼 기다립니다.
  delay(p);

  // 13번 핀에 전기 공급을 중단합니다.  결과적으로 LED에 불이 꺼집니다.
  digitalWrite(13, LOW);

  // 다이얼이 가르치는 숫자만큼 기다립니다.
  delay(p);
}
