<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CutView</name>
    <message>
        <source>Route Sample</source>
        <translation>路径示例</translation>
    </message>
</context>
<context>
    <name>KnifeView</name>
    <message>
        <source>Pen Nose</source>
        <translation>刀尖示例</translation>
    </message>
</context>
<context>
    <name>MainWidget</name>
    <message>
        <source>01. Single File, Blank Cut.</source>
        <translation>01. 单文件，空白切割。</translation>
    </message>
    <message>
        <source>02. Single File, Matrix Blank.</source>
        <translation>02. 单文件，空白矩阵。</translation>
    </message>
    <message>
        <source>03. Single File, Scan Mark.</source>
        <translation>03. 单文件，扫描标记点。</translation>
    </message>
    <message>
        <source>04. Single File, Matrix Scan.</source>
        <translation>04， 单文件，标记点矩阵。</translation>
    </message>
    <message>
        <source>05. QR Filter, Scan Mark.</source>
        <translation>05. 二维码过滤，扫描标记点。</translation>
    </message>
    <message>
        <source>06. QR Filter, Matrix Scan.</source>
        <translation>06. 二维码过滤，标记点矩阵。</translation>
    </message>
    <message>
        <source>&lt;</source>
        <translation>上一个</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>下一个</translation>
    </message>
    <message>
        <source>Auto-Adjust Completed!</source>
        <translation>自动调整完成！</translation>
    </message>
    <message>
        <source>Auto-Offset</source>
        <translation>自动校准</translation>
    </message>
    <message>
        <source>Back Origin</source>
        <translation>回到记忆点</translation>
    </message>
    <message>
        <source>Calibrate</source>
        <translation>自动校准</translation>
    </message>
    <message>
        <source>Check media container...&lt;br&gt;Load media and press &lt;font color=green&gt;OK&lt;/font&gt; to Continue,&lt;br&gt;Or press &lt;font color=red&gt;Cancel&lt;/font&gt; to Exit!</source>
        <translation>检查纸张容器，放入纸张按&lt;font color=green&gt;OK&lt;/font&gt; 继续,&lt;br&gt;或 按 &lt;font color=red&gt;Cancel&lt;/font&gt; 退出！</translation>
    </message>
    <message>
        <source>Close Offset:</source>
        <translation>闭合补偿:</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Count:</source>
        <translation>数量:</translation>
    </message>
    <message>
        <source>Current Device:</source>
        <translation>当前设备:</translation>
    </message>
    <message>
        <source>Device Select</source>
        <translation>设备选择</translation>
    </message>
    <message>
        <source>Eject Distance:</source>
        <translation>退纸距离:</translation>
    </message>
    <message>
        <source>Feed Config</source>
        <translation>送纸配置</translation>
    </message>
    <message>
        <source>Feed Distance:</source>
        <translation>送纸距离:</translation>
    </message>
    <message>
        <source>File Select</source>
        <translation>文件选择</translation>
    </message>
    <message>
        <source>Torvane</source>
        <translation>Torvane 平板切割机</translation>
    </message>
    <message>
        <source>IP Addr:</source>
        <translation>IP地址:</translation>
    </message>
    <message>
        <source>Idle...</source>
        <translation>空闲</translation>
    </message>
    <message>
        <source>The cutter is in use by another program</source>
        <translation>切割机正被其他程序占用</translation>
    </message>
    <message>
        <source>Knife Offset:</source>
        <translation>尖角补偿:</translation>
    </message>
    <message>
        <source>Lines View</source>
        <translation>路径预览</translation>
    </message>
    <message>
        <source>Matrix .</source>
        <translation>矩阵1x1.</translation>
    </message>
    <message>
        <source>Matrix ..</source>
        <translation>矩阵2x1..</translation>
    </message>
    <message>
        <source>Matrix ::</source>
        <translation>矩阵2x2::</translation>
    </message>
    <message>
        <source>Matrix Config</source>
        <translation>矩阵配置</translation>
    </message>
    <message>
        <source>Matrix Mark Space H:</source>
        <translation>矩阵标记点横向间距:</translation>
    </message>
    <message>
        <source>Matrix Mark Space V:</source>
        <translation>矩阵标记点纵向间距:</translation>
    </message>
    <message>
        <source>Misc Config</source>
        <translation>其他配置</translation>
    </message>
    <message>
        <source>Mode Select</source>
        <translation>模式选择:</translation>
    </message>
    <message>
        <source>No Paper...</source>
        <translation>缺纸</translation>
    </message>
    <message>
        <source>Offset Arg:</source>
        <translation>偏移参数:</translation>
    </message>
    <message>
        <source>PassWD:</source>
        <translation>密码:</translation>
    </message>
    <message>
        <source>Repeat Crease</source>
        <translation>重复压痕</translation>
    </message>
    <message>
        <source>Repeat Cut     </source>
        <translation>重复切割</translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation>旋转</translation>
    </message>
    <message>
        <source>Route Config</source>
        <translation>路径配置</translation>
    </message>
    <message>
        <source>SSID:</source>
        <translation>无线网名称:</translation>
    </message>
    <message>
        <source>Sample File:</source>
        <translation>文件样例:</translation>
    </message>
    <message>
        <source>Select a File.</source>
        <translation>选择文件。</translation>
    </message>
    <message>
        <source>Seq</source>
        <translation>次</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Set Origin</source>
        <translation>设置记忆点</translation>
    </message>
    <message>
        <source>Smart Scan</source>
        <translation>智能扫描</translation>
    </message>
    <message>
        <source>Start Auto-Adjust</source>
        <translation>开始自动调整</translation>
    </message>
    <message>
        <source>State View</source>
        <translation>状态预览</translation>
    </message>
    <message>
        <source>Use pen, put a blank paper, and press &lt;font color=green&gt;OK&lt;/font&gt; to Run.</source>
        <translation>使用笔，放上空白纸张，按下OK开始。</translation>
    </message>
    <message>
        <source>Wireless Camera View</source>
        <translation>无线摄像头预览</translation>
    </message>
</context>
</TS>
